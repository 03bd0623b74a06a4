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

#include "base/confined.h"
#include "base/fileops.h"
#include "base/pathutil.h"
#include "base/safename.h"
#include "designsplit/jobs/fjlog.h"
#include "designsplit/jobs/fjwrites.h"
#include "imaging/tfimageprocessing.h"

namespace {

bool exists(const QString &path)
{
    return QFileInfo::exists(PathUtil::toFs(path));
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
    const QString refusal = Confined::writeRefusal(folder, orderFolder());
    if (!refusal.isEmpty()) {
        qCWarning(lcDesignSplit) << "拒绝写入:" << refusal;
        reportResult(false, QString(), refusal);
        return;
    }
    QString error;
    if (!makeFolder(destDir, &error)) {
        qCWarning(lcDesignSplit) << "路径创建失败:" << destDir << error;
        reportResult(false, QString(), destDir + QStringLiteral(" 路径创建失败/连接不上服务端"));
        return;
    }
    const QString target = folder + QLatin1Char('/') + fileName;
    reportCopy(FJWrites::copyNew(PathUtil::toFs(sourcePath), target, orderFolder(), &error), photoId, target, error);
}

void FJDataThread::copyFile()
{
    if (!checkFileName())
        return;
    QString error;
    const QString source = PathUtil::toFs(sourcePath);
    const QString target = PathUtil::toFs(destDir);
    reportCopy(FJWrites::copyNew(source, target, orderFolder(), &error), QString(), target, error);
}

void FJDataThread::reportCopy(FJWrites::Copy result, const QString &detail, const QString &target, const QString &error)
{
    switch (result) {
    case FJWrites::Copy::Copied:
        reportResult(true, detail, QString());
        break;
    case FJWrites::Copy::Same:
        // A second run of the same order into the same folder.
        qCDebug(lcDesignSplit) << "目标文件已存在且内容相同:" << target;
        reportResult(true, detail, QString());
        break;
    case FJWrites::Copy::Refused:
        reportResult(false, QString(), error);
        break;
    case FJWrites::Copy::Exists:
        // What the studio has there (maybe worked on since) stays, and the
        // file is not reported as done again.
    case FJWrites::Copy::Failed:
        reportResult(false, QString(), copyFailure(error));
        break;
    }
}

void FJDataThread::copyWithExifRotation()
{
    if (!checkFileName())
        return;
    const QString source = PathUtil::toFs(sourcePath);
    const QString target = PathUtil::toFs(destDir);
    // Opened without blocking and read only as a regular file: a pipe or a
    // device in the share fails this photo, named, instead of blocking the
    // job or delivering an empty "photo".
    QFile file;
    QString sourceError;
    if (!FileOps::openSource(source, &file, &sourceError)) {
        qCDebug(lcDesignSplit) << "源文件无法读取:" << sourcePath << sourceError;
        reportResult(false, QString(), fileName + QStringLiteral(" 源文件") + sourceError);
        return;
    }
    // Both copies below write a temporary file and rename it over the
    // target, which would go through a link at the target: asked right
    // before each.
    const auto refused = [&] {
        const QString refusal = Confined::writeRefusal(target, orderFolder());
        if (refusal.isEmpty())
            return false;
        qCWarning(lcDesignSplit) << "拒绝写入:" << refusal;
        reportResult(false, QString(), refusal);
        return true;
    };
    const auto failed = [&](const QString &why) { reportResult(false, QString(), copyFailure(why)); };

    // The delivery copy replaces an older one, but only once the new file is
    // complete.
    const auto byteCopy = [&] {
        if (refused())
            return;
        QString error;
        const FileOps::CopyOutcome outcome = Confined::copyFile(source, target, orderFolder(), nullptr, &error);
        if (outcome == FileOps::CopyOutcome::Copied) {
            reportResult(true, QString(), QString());
            return;
        }
        qCWarning(lcDesignSplit) << "拷贝失败:" << sourcePath << error;
        failed(outcome == FileOps::CopyOutcome::Refused ? error : FJWrites::cause(target, orderFolder(), error));
    };

    int orientation = 1;
    {
        QImageReader reader(&file);
        reader.setAutoTransform(false);
        if (!reader.canRead()) {
            qCDebug(lcDesignSplit) << "无法读取图片EXIF信息，直接拷贝:" << sourcePath;
            file.close();
            byteCopy();
            return;
        }
        // The program's own orientation reader: Qt's misses orientations
        // stored behind an XMP block or as LONG values.
        orientation = TfImage::orientationOf(&file, reader);
    }
    file.close();
    if (orientation == 1) {
        qCDebug(lcDesignSplit) << "图片方向正常，直接拷贝:" << sourcePath;
        byteCopy();
        return;
    }
    qCDebug(lcDesignSplit).noquote() << QStringLiteral("检测到图片需要转正，文件: %1").arg(sourcePath);
    if (refused())
        return;
    // The engine's upright copy: turned without loss where the size allows,
    // otherwise decoded, turned and encoded at the engine's full-size
    // quality, with the camera's metadata and colour profile kept and
    // orientation 1. A picture it cannot turn (cut short, undecodable) or
    // cannot write (a full disk) fails: a plain copy would deliver it
    // unturned, and a re-encode of a cut-short one shows a grey band.
    QElapsedTimer timer;
    timer.start();
    QString reason;
    if (!TfImage::rotateCopy(source, target, &reason, orderFolder())) {
        qCWarning(lcDesignSplit).noquote() << QStringLiteral("图片转正保存失败: %1, 错误: %2").arg(destDir, reason);
        failed(reason);
        return;
    }
    qCDebug(lcDesignSplit).noquote() << QStringLiteral("图片转正拷贝成功: %1 (耗时: %2ms)")
                                            .arg(sourcePath, QString::number(timer.elapsed()));
    reportResult(true, QString(), QString());
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
    QString error;
    if (Confined::writeImage(PathUtil::toFs(path), orderFolder(), image, TfImage::formatOf(name), -1, &error)) {
        reportResult(true, QString(), QString());
        return;
    }
    qCWarning(lcDesignSplit) << "保存文件失败:" << path << error;
    const QString why = FJWrites::cause(PathUtil::toFs(path), orderFolder(), error);
    const QString because = why.isEmpty() ? QString() : QStringLiteral("（") + why + QStringLiteral("）");
    reportResult(false, QString(), QStringLiteral("保存文件失败：") + path + because);
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
    // A write refused (a link on its way) fails the job even when the photo
    // itself was copied: the report must not say the order came out whole.
    QString refusal;
    const auto because = [](const QString &why) { return why.isEmpty() ? QString() : QStringLiteral("：") + why; };
    const auto copy = [&](const QString &source, const QString &target, QString *why) {
        QString error;
        const FJWrites::Copy result =
            FJWrites::copyNew(PathUtil::toFs(source), PathUtil::toFs(target), orderFolder(), &error);
        if (result == FJWrites::Copy::Refused && refusal.isEmpty())
            refusal = error;
        *why = error;
        return result;
    };
    const auto makeOutputFolder = [&](const QString &folder) {
        QString error;
        if (!makeFolder(folder, &error))
            qCWarning(lcDesignSplit) << "文件夹创建失败:" << folder << error;
    };

    // Paths the service escaped for JSON ("\/") are read as plain paths.
    const auto unescape = [&] { sourcePath.replace(QLatin1String("\\/"), QLatin1String("/")); };

    enum class Thumb { Copied, Missing, Failed };
    const auto thumbnailStep = [&] {
        const QString folder = destDir + QStringLiteral("缩略图/");
        makeOutputFolder(folder);
        const QString thumb = thumbnailSource(sourcePath);
        if (!exists(thumb)) {
            warnings << fileName + QStringLiteral("缩略图不存在");
            return Thumb::Missing;
        }
        QString why;
        if (!FJWrites::isDone(copy(thumb, folder + fileName, &why))) {
            warnings << fileName + QStringLiteral("缩略图复制失败") + because(why);
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
        makeOutputFolder(outFolder);
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
            QString why;
            if (!FJWrites::isDone(copy(rawFolder + QLatin1Char('/') + baseName + found, outFolder + baseName + found, &why)))
                warnings << fileName + found + QStringLiteral("复制失败") + because(why);
        }
    };

    const auto mainCopy = [&](const QString &folderName) {
        QString error;
        const FJWrites::Copy result = FJWrites::copyNew(PathUtil::toFs(sourcePath),
                                                        PathUtil::toFs(destDir + folderName + fileName), orderFolder(),
                                                        &error);
        if (result == FJWrites::Copy::Refused)
            reportResult(false, QString(), error);
        else if (!FJWrites::isDone(result))
            reportResult(false, QString(), fileName + QStringLiteral("照片复制失败") + because(error));
        else if (!refusal.isEmpty())
            reportResult(false, QString(), refusal);
        else
            reportResult(true, QString(), warnings.join(QStringLiteral("；")));
    };

    const auto mainStep = [&](const QString &folderName) {
        makeOutputFolder(destDir + folderName);
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
            reportResult(false, QString(), refusal.isEmpty() ? fileName + QStringLiteral("缩略图复制失败") : refusal);
            break;
        case Thumb::Copied:
            reportResult(true, QString(), QString());
            break;
        }
    } else if (retouched || finished) {
        unescape();
        if (finished)
            thumbnailStep();
        makeOutputFolder(destDir + finishedFolder);
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
