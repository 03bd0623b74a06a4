#include "base/textelide.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace TextElide {

namespace {

// What stays of text when keep of its characters are kept: the start, the
// end, or both halves around the ellipsis.
QString shortened(const QString &text, int keep, Qt::TextElideMode mode)
{
    const QString ellipsis(QChar(0x2026));
    int head = 0;
    if (mode == Qt::ElideRight)
        head = keep;
    else if (mode == Qt::ElideMiddle)
        head = (keep + 1) / 2;
    int tail = keep - head;
    // Never half of a surrogate pair.
    if (head > 0 && text.at(head - 1).isHighSurrogate())
        --head;
    if (tail > 0 && text.at(text.size() - tail).isLowSurrogate())
        --tail;
    return text.left(head) + ellipsis + text.right(tail);
}

} // namespace

QString elided(const QFontMetrics &metrics, const QString &text, int width, Qt::TextElideMode mode)
{
    // Widths unrounded: a style lays the text out unrounded too and cuts it
    // again, with Qt's own elision, when it is a fraction of a pixel wider
    // than the room.
    const QFontMetricsF exact(metrics);
    if (mode == Qt::ElideNone || exact.horizontalAdvance(text) <= width)
        return text;
    // The most characters that fit beside the ellipsis, by halving: a view
    // paints every cell of a long path at each repaint.
    int fits = 0;
    int tooMany = text.size();
    while (tooMany - fits > 1) {
        const int middle = (fits + tooMany) / 2;
        if (exact.horizontalAdvance(shortened(text, middle, mode)) <= width)
            fits = middle;
        else
            tooMany = middle;
    }
    return shortened(text, fits, mode);
}

void fitItemText(QStyleOptionViewItem *cell)
{
    if (cell->text.isEmpty() || (cell->features & QStyleOptionViewItem::WrapText))
        return;
    const QWidget *widget = cell->widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // The style draws the text a focus-frame margin in from each side.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const int width = style->subElementRect(QStyle::SE_ItemViewItemText, cell, widget).width() - 2 * margin;
    cell->text = elided(cell->fontMetrics, cell->text, width, cell->textElideMode);
}

} // namespace TextElide
