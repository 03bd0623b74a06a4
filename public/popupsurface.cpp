#include "public/popupsurface.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QWidget>

namespace PopupSurface {

namespace {

int s_override = -1;

} // namespace

bool translucencyAvailable()
{
    if (s_override >= 0)
        return s_override == 1;
    // Windows, macOS and Wayland composite every window themselves.
    return QGuiApplication::platformName() != QLatin1String("xcb");
}

void setTranslucencyOverride(int mode)
{
    s_override = mode < 0 ? -1 : (mode > 0 ? 1 : 0);
}

void prepare(QWidget *popup)
{
    if (translucencyAvailable())
        popup->setAttribute(Qt::WA_TranslucentBackground);
}

void updateMask(QWidget *popup, qreal radius)
{
    updateMask(popup, QRectF(popup->rect()), radius);
}

void updateMask(QWidget *popup, const QRectF &panel, qreal radius)
{
    if (popup->testAttribute(Qt::WA_TranslucentBackground))
        return;
    QPainterPath path;
    path.addRoundedRect(panel, radius, radius);
    popup->setMask(QRegion(path.toFillPolygon().toPolygon()));
}

} // namespace PopupSurface
