#include "base/safename.h"

namespace SafeName {

namespace {

bool forbidden(QChar c)
{
    static const QString reserved = QStringLiteral("\\/:*?\"<>|");
    const ushort u = c.unicode();
    return u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0) || reserved.contains(c);
}

} // namespace

QString clean(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        if (!forbidden(c))
            out += c;
    }
    // Windows drops trailing blanks and dots itself, so "a." and "a" would
    // name one folder; trimming here keeps the name we report the real one.
    int end = out.size();
    while (end > 0 && (out.at(end - 1) == QLatin1Char(' ') || out.at(end - 1) == QLatin1Char('.')))
        --end;
    out.truncate(end);
    if (out.isEmpty())
        return QStringLiteral("_");
    return out;
}

bool isClean(const QString &name)
{
    return clean(name) == name;
}

} // namespace SafeName
