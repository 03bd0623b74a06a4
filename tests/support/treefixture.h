#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>

// Real folder trees for tests: files written with their folders, read back,
// and listed.
namespace TreeFixture {

// Writes data to path, making its folders; false when it cannot.
bool write(const QString &path, const QByteArray &data);
// The file's bytes, or "<missing>".
QByteArray read(const QString &path);
// Every entry below root that matches filters, as sorted paths relative to root.
QStringList below(const QString &root, QDir::Filters filters = QDir::Files | QDir::Hidden);

} // namespace TreeFixture
