#include "public/theme.h"

#include <QStringList>

#include "base/k.h"

namespace Theme {

const Palette::RoleTable &roles()
{
    static const Palette::RoleTable table = {
#define VQ_THEME_ENTRY(role, value) {QStringLiteral(#role), QStringLiteral(value)},
        VQ_THEME_COLOURS(VQ_THEME_ENTRY)
#undef VQ_THEME_ENTRY
    };
    return table;
}

QString sheet(const QString &text)
{
    return Palette::fill(text, roles());
}

QString photoScrollBar(int width, int radius)
{
    const K *k = K::instance();
    return sheet(QStringLiteral("QScrollBar:vertical {    background-color: @scrollTrack;    width: ") + k->scaleText(width)
                 + QStringLiteral("px;    border-radius: ") + k->scaleText(radius)
                 + QStringLiteral("px;}QScrollBar::handle:vertical {    background-color: @scrollHandle;    border-radius: ")
                 + k->scaleText(radius) + QStringLiteral("px;    min-height: ") + k->scaleText(10)
                 + QStringLiteral("px;}QScrollBar::handle:vertical:hover {    background-color: @scrollHandleHover;}"));
}

QString captionSheet(int fontPx)
{
    return sheet(QStringLiteral("QLabel { font-size: ") + K::instance()->scaleText(fontPx)
                 + QStringLiteral("px; font-weight: 600; color: @text; }"));
}

QString fieldSheet(const QString &selectors, const QString &padding, int fontPx, const QString &more)
{
    QStringList focused;
    for (const QString &selector : selectors.split(QLatin1Char(',')))
        focused.append(selector.trimmed() + QStringLiteral(":focus"));
    QString rule = selectors + QStringLiteral(" { padding: ") + padding
                   + QStringLiteral("; border: 1px solid @border; border-radius: 6px; font-size: ")
                   + K::instance()->scaleText(fontPx) + QStringLiteral("px; background-color: white;");
    if (!more.isEmpty())
        rule += QLatin1Char(' ') + more;
    return sheet(rule + QStringLiteral(" }") + focused.join(QStringLiteral(", "))
                 + QStringLiteral(" { border-color: @accent; }"));
}

QString downArrowSheet(const QString &type, int size)
{
    return type + QStringLiteral("::down-arrow { image: url(:/public/image/public/arrows/downarrow_gray_64.png); width: %1px;"
                                 " height: %1px; margin-right: 8px; }")
                      .arg(size);
}

QString tableHeaderSheet(const QString &padding, int fontPx, int fontWeight)
{
    return sheet(QStringLiteral("QHeaderView::section { background-color: @tableHeader; border: none;"
                                " border-bottom: 2px solid @border; ")
                 + padding + QStringLiteral(" font-size: ") + K::instance()->scaleText(fontPx)
                 + QStringLiteral("px; font-weight: ") + QString::number(fontWeight)
                 + QStringLiteral("; color: @text; }"));
}

} // namespace Theme
