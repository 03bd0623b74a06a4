#include "base/formfield.h"

#include <QList>

namespace FormField {

QByteArray encodeValue(const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    static const char hex[] = "0123456789ABCDEF";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        const bool special = c == '%' || c == '&' || c == '+' || c == '=' || c == '#' || c < 0x20 || c == 0x7F;
        if (special) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        } else {
            out += ch;
        }
    }
    return out;
}

QByteArray field(const QString &name, const QString &value, bool first)
{
    QByteArray out;
    if (!first)
        out += '&';
    out += name.toUtf8();
    out += '=';
    out += encodeValue(value);
    return out;
}

QByteArray redacted(const QByteArray &body, const QStringList &secretNames)
{
    QList<QByteArray> parts = body.split('&');
    for (QByteArray &part : parts) {
        const int eq = part.indexOf('=');
        if (eq < 0)
            continue;
        const QString name = QString::fromUtf8(part.left(eq));
        if (secretNames.contains(name))
            part = part.left(eq + 1) + "***";
    }
    QByteArray out;
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += '&';
        out += parts.at(i);
    }
    return out;
}

} // namespace FormField

FormBody &FormBody::add(const QString &name, const QString &value)
{
    m_bytes += FormField::field(name, value, m_bytes.isEmpty());
    return *this;
}

FormBody &FormBody::add(const QString &name, qint64 value)
{
    return add(name, QString::number(value));
}

FormBody &FormBody::addPercentEncoded(const QString &name, const QString &value)
{
    if (!m_bytes.isEmpty())
        m_bytes += '&';
    m_bytes += name.toUtf8();
    m_bytes += '=';
    m_bytes += value.toUtf8().toPercentEncoding();
    return *this;
}
