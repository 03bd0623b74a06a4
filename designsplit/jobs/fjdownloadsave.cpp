#include "designsplit/jobs/fjdownloadsave.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QMetaObject>

#include "base/confined.h"
#include "base/pathutil.h"
#include "base/safename.h"
#include "designsplit/jobs/fjlog.h"
#include "designsplit/jobs/fjwrites.h"

namespace {

QByteArray canonical(QByteArray format)
{
    format = format.toLower();
    if (format == "jpg")
        return "jpeg";
    if (format == "tif")
        return "tiff";
    return format;
}

} // namespace

FJDownloadSave::FJDownloadSave(const QByteArray &data, const QString &orderRoot, const QString &folder,
                               const QString &name, bool asText, int sequence, QObject *owner,
                               std::shared_ptr<FJRunGate> gate)
    : m_data(data)
    , m_orderRoot(orderRoot)
    , m_folder(folder)
    , m_name(name)
    , m_asText(asText)
    , m_sequence(sequence)
    , m_owner(owner)
    , m_gate(std::move(gate))
{
    setAutoDelete(true);
}

QByteArray FJDownloadSave::formatOf(const QByteArray &data)
{
    QByteArray copy = data;
    QBuffer buffer(&copy);
    if (!buffer.open(QIODevice::ReadOnly))
        return QByteArray();
    return canonical(QImageReader::imageFormat(&buffer));
}

QByteArray FJDownloadSave::formatForName(const QString &name)
{
    const QByteArray format = canonical(QFileInfo(name).suffix().toLatin1());
    if (format.isEmpty())
        return QByteArray();
    for (const QByteArray &known : QImageWriter::supportedImageFormats()) {
        if (canonical(known) == format)
            return format;
    }
    return QByteArray();
}

bool FJDownloadSave::save(const QByteArray &data, const QString &orderRoot, const QString &folder,
                          const QString &name, bool asText, QString *path, QString *message)
{
    QString target = folder + name;
    if (path)
        *path = target;
    const auto failWith = [message](const QString &text) {
        if (message)
            *message = text;
        return false;
    };
    // The name comes from the service: one that is not a plain file name
    // would be written somewhere else than the folder it is meant for.
    if (!SafeName::isClean(name))
        return failWith(name + QStringLiteral(" 文件名非法"));
    const QString root = PathUtil::toFs(orderRoot);
    const QString fsFolder = PathUtil::toFs(folder);
    target = PathUtil::toFs(target);
    QString error;
    // Refused before anything is made: a linked folder on the way is no
    // place for the order's files, and neither is a link at the target.
    const QString refusal = Confined::writeRefusal(target, root);
    if (!refusal.isEmpty()) {
        qCWarning(lcDesignSplit) << "拒绝写入:" << refusal;
        return failWith(refusal);
    }
    if (!Confined::makePath(fsFolder, root, &error)) {
        qCWarning(lcDesignSplit) << "保存失败:" << error;
        return failWith(name + QStringLiteral(" 保存失败：") + error);
    }
    const auto writeFailed = [&] {
        qCWarning(lcDesignSplit) << "保存失败:" << target << error;
        const QString why = FJWrites::cause(target, root, error);
        return failWith(name + QStringLiteral(" 保存失败") + (why.isEmpty() ? QString() : QStringLiteral("：") + why));
    };

    if (asText) {
        if (!Confined::writeFile(target, root, data, &error))
            return writeFailed();
        qCDebug(lcDesignSplit) << "文件保存成功:" << target;
        return true;
    }

    const QByteArray received = formatOf(data);
    if (received.isEmpty()) {
        qCDebug(lcDesignSplit) << "Failed to read image:" << name;
        return failWith(name + QStringLiteral(" 不是有效的图片"));
    }
    const QByteArray wanted = formatForName(name);
    if (wanted.isEmpty() || wanted == received) {
        if (!Confined::writeFile(target, root, data, &error))
            return writeFailed();
        qCDebug(lcDesignSplit) << "保存的照片路径：" << target;
        return true;
    }

    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, received);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        qCDebug(lcDesignSplit) << "Failed to read image:" << reader.errorString();
        return failWith(name + QStringLiteral(" 不是有效的图片"));
    }
    if (!Confined::writeImage(target, root, image, wanted, 100, &error))
        return writeFailed();
    qCDebug(lcDesignSplit) << "保存的照片路径：" << target;
    return true;
}

void FJDownloadSave::run()
{
    if (m_gate && !m_gate->pass())
        return;
    QString path;
    QString message;
    const bool ok = save(m_data, m_orderRoot, m_folder, m_name, m_asText, &path, &message);
    if (!m_owner)
        return;
    QMetaObject::invokeMethod(m_owner, "onDownloadSaved", Qt::QueuedConnection, Q_ARG(int, m_sequence),
                              Q_ARG(bool, ok), Q_ARG(QString, path), Q_ARG(QString, message));
}
