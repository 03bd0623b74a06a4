#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include "importfiles/jobs/importrecords.h"

// The picked files of the order shown in the import window: name, import
// state, the retry action and the destination folder. Holds a copy of the
// order's files; the window pushes each copy result into it.
class ImportFileTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ImportFileTableModel(QObject *parent = nullptr);
    ~ImportFileTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    ImportFile fileAt(int row) const;
    void clear();
    void setFiles(const QList<ImportFile> &files);
    QList<ImportFile> files() const { return m_files; }
    void addFile(const ImportFile &file);
    void updateFileStatus(int row, int status, const QString &message);

private:
    QList<ImportFile> m_files;
    QStringList headers;
};
