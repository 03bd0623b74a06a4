#include "batchdelete/batchdeletefilemodel.h"

#include <QBrush>
#include <QColor>

#include "public/theme.h"

BatchDeleteFileModel::BatchDeleteFileModel(QObject *parent)
    : QAbstractTableModel(parent)
    , headers{QStringLiteral("文件名"), QStringLiteral("目录"), QStringLiteral("文件大小"), QStringLiteral("状态"),
              QStringLiteral("文件路径")}
{
}

int BatchDeleteFileModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : files.size();
}

int BatchDeleteFileModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 5;
}

QVariant BatchDeleteFileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < headers.size())
        return headers.at(section);
    return QVariant();
}

QVariant BatchDeleteFileModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= files.size())
        return QVariant();
    const BatchDeleteFileInfo &file = files.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return file.fileName;
        case 1:
            return file.dirName;
        case 2:
            return formatSize(file.size);
        case 3: {
            QString text = statusText(file.status);
            if (file.status == BatchDeleteFileStatus::Missing)
                text += QStringLiteral(" (文件不存在)");
            else if (file.status == BatchDeleteFileStatus::Locked)
                text += QStringLiteral(" (文件被占用)");
            return text;
        }
        case 4:
            return file.filePath;
        default:
            return QVariant();
        }
    case Qt::ForegroundRole:
        if (index.column() == 3)
            return QBrush(QColor(statusColor(file.status)));
        return QVariant();
    case Qt::UserRole:
        return file.status;
    case Qt::UserRole + 1:
        return index.row();
    default:
        return QVariant();
    }
}

BatchDeleteFileInfo BatchDeleteFileModel::file(int row) const
{
    if (row < 0 || row >= files.size())
        return BatchDeleteFileInfo();
    return files.at(row);
}

void BatchDeleteFileModel::setFiles(const QList<BatchDeleteFileInfo> &list)
{
    beginResetModel();
    files = list;
    endResetModel();
}

void BatchDeleteFileModel::clear()
{
    beginResetModel();
    files.clear();
    endResetModel();
}

void BatchDeleteFileModel::updateFile(int row, int status, const QString &errorMessage)
{
    if (row < 0 || row >= files.size())
        return;
    files[row].status = status;
    files[row].errorMessage = errorMessage;
    emit dataChanged(index(row, 0), index(row, 4));
}

QString BatchDeleteFileModel::statusText(int status)
{
    switch (status) {
    case BatchDeleteFileStatus::NotDeleted:
        return QStringLiteral("未删除");
    case BatchDeleteFileStatus::Deleting:
        return QStringLiteral("删除中");
    case BatchDeleteFileStatus::Deleted:
        return QStringLiteral("已删除");
    case BatchDeleteFileStatus::SubmitFailed:
        return QStringLiteral("提交状态失败");
    case BatchDeleteFileStatus::Missing:
    case BatchDeleteFileStatus::Locked:
        return QStringLiteral("删除失败");
    default:
        return QStringLiteral("未知");
    }
}

QString BatchDeleteFileModel::statusColor(int status)
{
    switch (status) {
    case BatchDeleteFileStatus::NotDeleted:
        return Theme::textMuted.name();
    case BatchDeleteFileStatus::Deleting:
        return Theme::accent.name();
    case BatchDeleteFileStatus::Deleted:
        return Theme::success.name();
    case BatchDeleteFileStatus::SubmitFailed:
        return Theme::warning.name();
    case BatchDeleteFileStatus::Missing:
    case BatchDeleteFileStatus::Locked:
        return Theme::danger.name();
    default:
        return Theme::text.name();
    }
}

QString BatchDeleteFileModel::formatSize(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" B");
    if (bytes < 1048576)
        return QString::number(bytes / 1024.0, 'f', 2) + QStringLiteral(" KB");
    if (bytes < 1073741824)
        return QString::number(bytes / 1048576.0, 'f', 2) + QStringLiteral(" MB");
    return QString::number(bytes / 1073741824.0, 'f', 2) + QStringLiteral(" GB");
}
