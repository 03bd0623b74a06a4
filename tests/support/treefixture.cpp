#include "tests/support/treefixture.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace TreeFixture {

bool write(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray read(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

QStringList below(const QString &root, QDir::Filters filters)
{
    QStringList out;
    QDirIterator it(root, filters | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace TreeFixture
