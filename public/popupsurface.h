#pragma once

#include <QRectF>
#include <QtGlobal>

class QWidget;

// The surface of the program's frameless pop-ups (toasts, popup menus,
// message dialogs): a rounded panel the pop-up paints itself. Where the
// window system shows a translucent window as painted, the pop-up gets a
// translucent background and its corners stay see-through. Elsewhere it is
// an opaque window whose corners a mask cuts off: on X11 a translucent
// window needs a compositing manager, and even with one, screen grabs and
// remote desktops show such a window as a blank box or not at all.
namespace PopupSurface {

// Whether a translucent top-level window shows as painted here.
bool translucencyAvailable();

// Tests decide the answer of translucencyAvailable: -1 (the default) asks
// the platform, 0 says no, 1 says yes. Pop-ups made afterwards follow it.
void setTranslucencyOverride(int mode);

// Gives popup its background: translucent where available, otherwise
// opaque. Call in the constructor, before the pop-up is shown.
void prepare(QWidget *popup);

// On an opaque pop-up, cuts its corners to a rounded rectangle of radius
// over its whole size; nothing on a translucent one. Call on every resize.
void updateMask(QWidget *popup, qreal radius);
// The same for a pop-up whose visible panel lies inside its rectangle (the
// rest being room for a shadow, which an opaque pop-up does not draw).
void updateMask(QWidget *popup, const QRectF &panel, qreal radius);

} // namespace PopupSurface
