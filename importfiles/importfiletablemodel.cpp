#include "importfiles/importfiletablemodel.h"

#include <QColor>

#include "public/theme.h"

ImportFileTableModel::ImportFileTableModel(QObject *parent)
    : QAbstractTableModel(parent)
    , headers({QStringLiteral("文件名"), QStringLiteral("导入状态"), QStringLiteral("操作"), QStringLiteral("导入路径")})
{
}

ImportFileTableModel::~ImportFileTableModel() = default;

int ImportFileTableModel::rowCount(const QModelIndex &) const
{
    return m_files.size();
}

int ImportFileTableModel::columnCount(const QModelIndex &) const
{
    return headers.size();
}

QVariant ImportFileTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_files.size())
        return QVariant();
    const ImportFile &file = m_files.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case 0:
            return file.fileName();
        case 1:
            switch (file.status) {
            case Waiting:
                return QStringLiteral("等待导入");
            case Succeeded:
                return QStringLiteral("导入成功");
            case Failed:
                return file.message.isEmpty() ? QStringLiteral("导入失败") : file.message;
            default:
                return QVariant();
            }
        case 2:
            return file.status == Failed ? QStringLiteral("retry") : QString();
        case 3:
            return file.targetDir;
        default:
            return QVariant();
        }
    case Qt::ToolTipRole:
        // Every text column may be narrower than its texts.
        if (column == 0 || column == 1 || column == 3)
            return data(index, Qt::DisplayRole);
        return QVariant();
    case Qt::TextAlignmentRole:
        if (column == 1 || column == 2)
            return int(Qt::AlignCenter);
        return QVariant();
    case Qt::ForegroundRole:
        if (column != 1)
            return QVariant();
        switch (file.status) {
        case Waiting:
            return Theme::textFaint.color();
        case Succeeded:
            return Theme::importDone.color();
        case Failed:
            return Theme::importFailed.color();
        default:
            return QVariant();
        }
    case Qt::UserRole:
        return file.status;
    default:
        return QVariant();
    }
}

QVariant ImportFileTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < headers.size())
        return headers.at(section);
    return QVariant();
}

ImportFile ImportFileTableModel::fileAt(int row) const
{
    if (row < 0 || row >= m_files.size())
        return ImportFile();
    return m_files.at(row);
}

void ImportFileTableModel::clear()
{
    beginResetModel();
    m_files.clear();
    endResetModel();
}

void ImportFileTableModel::setFiles(const QList<ImportFile> &files)
{
    beginResetModel();
    m_files = files;
    endResetModel();
}

void ImportFileTableModel::addFile(const ImportFile &file)
{
    beginInsertRows(QModelIndex(), m_files.size(), m_files.size());
    m_files.append(file);
    endInsertRows();
}

void ImportFileTableModel::updateFileStatus(int row, int status, const QString &message)
{
    if (row < 0 || row >= m_files.size())
        return;
    m_files[row].status = status;
    m_files[row].message = message;
    emit dataChanged(index(row, 1), index(row, 2));
}
