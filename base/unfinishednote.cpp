#include "base/unfinishednote.h"

#include <QDir>
#include <QFile>

#include "base/confined.h"
#include "base/fileops.h"

namespace {

// A note is a line and a sentence or two: anything longer is not one of ours.
const qint64 kLongestNote = 4096;

} // namespace

namespace UnfinishedNote {

bool write(const QString &folder, const QString &name, const QString &text, QString *error)
{
    return Confined::writeFile(QDir(folder).filePath(name), folder, text.toUtf8(), error);
}

QString firstLine(const QString &folder, const QString &name)
{
    QFile file;
    if (!FileOps::openSource(QDir(folder).filePath(name), &file))
        return QString();
    return QString::fromUtf8(file.read(kLongestNote)).section(QLatin1Char('\n'), 0, 0).trimmed();
}

bool remove(const QString &folder, const QString &name, QString *error)
{
    const Confined::Removal removal = Confined::removeFile(QDir(folder).filePath(name), folder, error);
    return removal == Confined::Removal::Removed || removal == Confined::Removal::Missing;
}

} // namespace UnfinishedNote
