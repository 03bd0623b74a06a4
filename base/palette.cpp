#include "base/palette.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPalette, "velquora.palette")

namespace Palette {

namespace {

bool isRoleChar(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
           || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

} // namespace

QString fill(const QString &text, const RoleTable &roles)
{
    QString filled;
    filled.reserve(text.size());
    int from = 0;
    for (int at = text.indexOf(QLatin1Char('@')); at >= 0; at = text.indexOf(QLatin1Char('@'), from)) {
        filled += text.midRef(from, at - from);
        int end = at + 1;
        while (end < text.size() && isRoleChar(text.at(end)))
            ++end;
        const QString role = text.mid(at + 1, end - at - 1);
        const auto found = roles.constFind(role);
        if (found != roles.constEnd()) {
            filled += found.value();
        } else {
            qCWarning(lcPalette) << "样式表中的颜色名不存在:" << role;
            Q_ASSERT_X(false, "Palette::fill", "a style sheet names a colour role that does not exist");
            filled += text.midRef(at, end - at);
        }
        from = end;
    }
    filled += text.midRef(from);
    return filled;
}

QString sheet(const QString &text)
{
    static const RoleTable roles = {
#define VQ_PALETTE_ENTRY(role, value) {QStringLiteral(#role), QStringLiteral(value)},
        VQ_BASE_COLOURS(VQ_PALETTE_ENTRY)
#undef VQ_PALETTE_ENTRY
    };
    return fill(text, roles);
}

} // namespace Palette
