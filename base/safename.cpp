#include "base/safename.h"

#include <algorithm>

#include <QRegularExpression>
#include <QVector>

namespace SafeName {

bool isInvisible(uint codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

bool hasInvisible(const QString &value)
{
    const QVector<uint> codePoints = value.toUcs4();
    return std::any_of(codePoints.cbegin(), codePoints.cend(), isInvisible);
}

QString clean(const QString &name)
{
    static const QString reserved = QStringLiteral("\\/:*?\"<>|");
    QVector<uint> kept;
    const QVector<uint> codePoints = name.toUcs4();
    kept.reserve(codePoints.size());
    for (uint c : codePoints) {
        if (isInvisible(c) || (c < 0x10000 && reserved.contains(QChar(c))))
            continue;
        kept.append(c);
    }
    QString out = QString::fromUcs4(kept.constData(), kept.size());
    // Windows drops trailing blanks and dots itself, so "a." and "a" would
    // name one folder; trimming here keeps the name we report the real one.
    int end = out.size();
    while (end > 0 && (out.at(end - 1) == QLatin1Char(' ') || out.at(end - 1) == QLatin1Char('.')))
        --end;
    out.truncate(end);
    if (out.isEmpty())
        return QStringLiteral("_");
    // Windows opens a device for these names, with any suffix: "CON.jpg"
    // is the console. A "_" after the stem makes them a file name.
    static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(?=$|\\.|\\s)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = device.match(out);
    if (match.hasMatch())
        out.insert(match.capturedLength(), QLatin1Char('_'));
    return out;
}

bool isClean(const QString &name)
{
    return clean(name) == name;
}

} // namespace SafeName
