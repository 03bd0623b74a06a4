#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include "batchdelete/jobs/batchdeleterecords.h"

// The files of one order as a table: name, folder, size, delete status and
// full path. The status is also given under Qt::UserRole in every column,
// and the row under Qt::UserRole + 1.
class BatchDeleteFileModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit BatchDeleteFileModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    BatchDeleteFileInfo file(int row) const;
    void setFiles(const QList<BatchDeleteFileInfo> &files);
    void clear();
    void updateFile(int row, int status, const QString &errorMessage);

    static QString statusText(int status);
    static QString statusColor(int status);
    static QString formatSize(qint64 bytes);

private:
    QList<BatchDeleteFileInfo> files;
    QStringList headers;
};
