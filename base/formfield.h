#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The one form-field encoder for every body sent to the order service.
// Values keep UTF-8 and ordinary ASCII as they are (the service reads them
// raw) and percent-encode only what would break the form: "%", "&", "+",
// "=", "#" and control characters.
namespace FormField {

QByteArray encodeValue(const QString &value);

// "name=value" with the value encoded; a leading "&" unless first.
QByteArray field(const QString &name, const QString &value, bool first = false);

// Body text for logs: the values of the named fields become "***".
QByteArray redacted(const QByteArray &body, const QStringList &secretNames);

} // namespace FormField

// Builds a body field by field, in the order given.
class FormBody
{
public:
    FormBody &add(const QString &name, const QString &value);
    FormBody &add(const QString &name, qint64 value);
    // The value with every byte but ASCII letters, digits and "-._~"
    // percent-encoded (slashes and blanks too), for fields the service
    // decodes as a URL component.
    FormBody &addPercentEncoded(const QString &name, const QString &value);
    QByteArray toBytes() const { return m_bytes; }
    operator QByteArray() const { return m_bytes; }

private:
    QByteArray m_bytes;
};
