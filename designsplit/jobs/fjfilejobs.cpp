// The file operations of FJDataThread: copies into folders, delivery copies
// (upright by EXIF orientation), Base64 pictures, and the category copies of
// the design-split output.

#include "designsplit/jobs/fjdatathread.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include "base/fileops.h"
#include "base/pathutil.h"
#include "base/safename.h"
#include "designsplit/jobs/fjlog.h"
#include "transferphotos/tfimageprocessing.h"

namespace {

// Copies without replacing: an existing target makes the copy fail and stays
// as it is. QFile writes a temporary file and renames it into place, so a
// failed copy leaves no truncated target.
bool copyNew(const QString &source, const QString &target)
{
    return QFile::copy(PathUtil::toFs(source), PathUtil::toFs(target));
}

bool exists(const QString &path)
{
    return QFileInfo::exists(PathUtil::toFs(path));
}

void makeFolder(const QString &path)
{
    QDir().mkpath(PathUtil::toFs(path));
}

// The photo's thumbnail: the same name in the folder "90" beside the photo's
// own folder "all". Only that folder is swapped; an "all" higher up in the
// path (a customer or share named so) is left alone. A photo that does not
// lie in a folder "all" is its own thumbnail source.
QString thumbnailSource(const QString &source)
{
    const int nameAt = qMax(source.lastIndexOf(QLatin1Char('/')), source.lastIndexOf(QLatin1Char('\\')));
    if (nameAt < 0)
        return source;
    const int folderAt = qMax(source.lastIndexOf(QLatin1Char('/'), nameAt - 1),
                              source.lastIndexOf(QLatin1Char('\\'), nameAt - 1));
    if (source.midRef(folderAt + 1, nameAt - folderAt - 1) != QLatin1String("all"))
        return source;
    QString thumb = source;
    thumb.replace(folderAt + 1, 3, QStringLiteral("90"));
    return thumb;
}

const char *const kRawSuffixes[] = {".cr2", ".raw", ".nef", ".arw", ".cr3", ".raf"};

} // namespace

void FJDataThread::copyToDir()
{
    if (!checkFileName())
        return;
    const QString folder = PathUtil::toFs(destDir);
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        reportResult(false, QString(), destDir + QStringLiteral(" 路径创建失败/连接不上服务端"));
        return;
    }
    if (copyNew(sourcePath, folder + QLatin1Char('/') + fileName))
        reportResult(true, photoId, QString());
    else
        reportResult(false, QString(), fileName + QStringLiteral(" 拷贝失败"));
}

void FJDataThread::copyFile()
{
    if (!checkFileName())
        return;
    if (copyNew(sourcePath, destDir))
        reportResult(true, QString(), QString());
    else
        reportResult(false, QString(), fileName + QStringLiteral(" 拷贝失败"));
}

void FJDataThread::copyWithExifRotation()
{
    if (!checkFileName())
        return;
    const QString source = PathUtil::toFs(sourcePath);
    const QString target = PathUtil::toFs(destDir);
    if (!QFileInfo::exists(source)) {
        qCDebug(lcDesignSplit) << "源文件不存在:" << sourcePath;
        reportResult(false, QString(), fileName + QStringLiteral(" 源文件不存在"));
        return;
    }

    // The delivery copy replaces an existing target, but only once the new
    // file is complete: both the re-encoded picture and the plain copy go
    // through a temporary file renamed over the target.
    const auto plainCopy = [&] {
        QString error;
        if (FileOps::copyAtomically(source, target, &error)) {
            reportResult(true, QString(), QString());
        } else {
            qCWarning(lcDesignSplit) << "拷贝失败:" << sourcePath << error;
            reportResult(false, QString(), fileName + QStringLiteral(" 拷贝失败"));
        }
    };

    QImage image;
    int orientation = 1;
    {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly)) {
            qCDebug(lcDesignSplit) << "无法读取图片EXIF信息，直接拷贝:" << sourcePath;
            plainCopy();
            return;
        }
        QImageReader reader(&file);
        reader.setAutoTransform(false);
        if (!reader.canRead()) {
            qCDebug(lcDesignSplit) << "无法读取图片EXIF信息，直接拷贝:" << sourcePath;
            plainCopy();
            return;
        }
        // The program's own orientation reader: Qt's misses orientations
        // stored behind an XMP block or as LONG values.
        orientation = TfImage::orientationOf(&file, reader);
        if (orientation == 1) {
            qCDebug(lcDesignSplit) << "图片方向正常，直接拷贝:" << sourcePath;
            file.close();
            plainCopy();
            return;
        }
        qCDebug(lcDesignSplit).noquote() << QStringLiteral("检测到图片需要转正，文件: %1").arg(sourcePath);
        image = reader.read();
    }
    QElapsedTimer timer;
    timer.start();
    if (image.isNull()) {
        qCDebug(lcDesignSplit) << "转正时无法读取图片，直接拷贝:" << sourcePath;
        plainCopy();
        return;
    }
    image = TfImage::rotateImageByExif(image, orientation);
    const QByteArray format = TfImage::formatOf(source);
    const int quality = (format == "jpg" || format == "jpeg") ? 100 : -1;
    QString error;
    if (!image.isNull() && FileOps::writeImageAtomically(target, image, format, quality, &error)) {
        qCDebug(lcDesignSplit).noquote() << QStringLiteral("图片转正拷贝成功: %1 (耗时: %2ms)")
                                                .arg(sourcePath, QString::number(timer.elapsed()));
        reportResult(true, QString(), QString());
        return;
    }
    qCDebug(lcDesignSplit).noquote() << QStringLiteral("图片转正保存失败: %1, 错误: %2，尝试直接拷贝").arg(destDir, error);
    plainCopy();
}

void FJDataThread::saveDataUrlImage()
{
    if (dataUrl.isEmpty()) {
        reportResult(false, QString(), QStringLiteral("文件不存在"));
        return;
    }
    QString text = dataUrl;
    const int marker = text.indexOf(QLatin1String("base64,"));
    if (text.startsWith(QLatin1String("data:image")) && marker >= 0)
        text = text.mid(marker + 7);
    const QByteArray bytes = QByteArray::fromBase64(text.toUtf8());
    if (bytes.isEmpty()) {
        reportResult(false, QString(), QStringLiteral("文件不存在"));
        return;
    }
    QImage image;
    if (!image.loadFromData(bytes)) {
        reportResult(false, QString(), QStringLiteral("无法从数据创建图像"));
        return;
    }
    const QString name = photo.value(QLatin1String("img_name")).toString();
    if (!SafeName::isClean(name)) {
        reportResult(false, QString(), name + QStringLiteral(" 文件名非法"));
        return;
    }
    const QString path = destDir + name;
    if (FileOps::writeImageAtomically(PathUtil::toFs(path), image, TfImage::formatOf(name)))
        reportResult(true, QString(), QString());
    else
        reportResult(false, QString(), QStringLiteral("保存文件失败：") + path);
}

void FJDataThread::copyPhotoByCategory()
{
    const bool onlyFinished = category == QStringLiteral("只要成品");
    const bool thumbnailOnly = category == QStringLiteral("成品缩略图");
    const bool retouched = category == QStringLiteral("精修成品");
    const bool finished = category == QStringLiteral("成品");
    const bool rejected = category == QStringLiteral("汰片");
    const bool base = category == QStringLiteral("入底");
    if (!(onlyFinished || thumbnailOnly || retouched || finished || rejected || base))
        return;
    if (!checkFileName())
        return;

    QStringList warnings;

    // Paths the service escaped for JSON ("\/") are read as plain paths.
    const auto unescape = [&] { sourcePath.replace(QLatin1String("\\/"), QLatin1String("/")); };

    enum class Thumb { Copied, Missing, Failed };
    const auto thumbnailStep = [&] {
        const QString folder = destDir + QStringLiteral("缩略图/");
        makeFolder(folder);
        const QString thumb = thumbnailSource(sourcePath);
        if (!exists(thumb)) {
            warnings << fileName + QStringLiteral("缩略图不存在");
            return Thumb::Missing;
        }
        if (!copyNew(thumb, folder + fileName)) {
            warnings << fileName + QStringLiteral("缩略图复制失败");
            return Thumb::Failed;
        }
        return Thumb::Copied;
    };

    // Raw companions (same base name, a camera raw suffix) in the folder
    // "原始档" beside the photo's own folder.
    const auto rawStep = [&](const QString &baseName) {
        if (baseName.isEmpty() || !SafeName::isClean(baseName))
            return;
        const QString photoFolder = QFileInfo(PathUtil::toFs(sourcePath)).path();
        const QString rawFolder = QFileInfo(photoFolder).path() + QStringLiteral("/原始档");
        if (!QFileInfo(rawFolder).isDir())
            return;
        const QString outFolder = destDir + QStringLiteral("原始档/");
        makeFolder(outFolder);
        for (const char *suffix : kRawSuffixes) {
            const QString lower = QString::fromLatin1(suffix);
            const QString upper = lower.toUpper();
            QString found;
            if (exists(rawFolder + QLatin1Char('/') + baseName + lower))
                found = lower;
            else if (exists(rawFolder + QLatin1Char('/') + baseName + upper))
                found = upper;
            if (found.isEmpty()) {
                warnings << fileName + QStringLiteral("没有") + upper;
                continue;
            }
            if (!copyNew(rawFolder + QLatin1Char('/') + baseName + found, outFolder + baseName + found))
                warnings << fileName + found + QStringLiteral("复制失败");
        }
    };

    const auto mainCopy = [&](const QString &folderName) {
        const QString folder = destDir + folderName;
        if (copyNew(sourcePath, folder + fileName))
            reportResult(true, QString(), warnings.join(QStringLiteral("；")));
        else
            reportResult(false, QString(), fileName + QStringLiteral("照片复制失败"));
    };

    const auto mainStep = [&](const QString &folderName) {
        makeFolder(destDir + folderName);
        if (!exists(sourcePath)) {
            reportResult(false, QString(), fileName + QStringLiteral("照片不存在"));
            return;
        }
        mainCopy(folderName);
    };

    const QString finishedFolder = QStringLiteral("成品/");

    if (onlyFinished) {
        unescape();
        thumbnailStep();
        mainStep(finishedFolder);
    } else if (thumbnailOnly) {
        unescape();
        switch (thumbnailStep()) {
        case Thumb::Missing:
            reportResult(false, QString(), fileName + QStringLiteral("缩略图不存在"));
            break;
        case Thumb::Failed:
            reportResult(false, QString(), fileName + QStringLiteral("缩略图复制失败"));
            break;
        case Thumb::Copied:
            reportResult(true, QString(), QString());
            break;
        }
    } else if (retouched || finished) {
        unescape();
        if (finished)
            thumbnailStep();
        makeFolder(destDir + finishedFolder);
        if (!exists(sourcePath)) {
            reportResult(false, QString(), fileName + QStringLiteral("照片不存在"));
            return;
        }
        const QFileInfo info(PathUtil::toFs(sourcePath));
        rawStep(retouched ? info.baseName() : info.completeBaseName());
        mainCopy(finishedFolder);
    } else if (rejected) {
        mainStep(QStringLiteral("汰片/"));
    } else if (base) {
        thumbnailStep();
        mainStep(QStringLiteral("入底/"));
    }
}
