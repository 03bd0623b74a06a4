#pragma once

#include <QList>
#include <QPair>
#include <QStringList>
#include <QThread>

// Removes the local copies of deleted photos: the full-size copy in an
// order's "all" folder with its reduced copies in "90", "190" and "1920", or
// a video in its video folder. Runs on the caller's thread.
class TFDelLocalPhotoImg : public QThread
{
    Q_OBJECT

public:
    explicit TFDelLocalPhotoImg(QObject *parent = nullptr);
    ~TFDelLocalPhotoImg() override;

    // Deletes each path's copies. Returns the paths left alone: not a copy
    // this tool wrote, or reaching out of the order's folder through a
    // symbolic link (each is also named in the log).
    QStringList delPhotos(const QStringList &paths);

    // The files that deleting the copy at fsPath removes: the copy itself
    // and, for one in an "all" folder, its reduced copies of the same name.
    static QStringList copiesOf(const QString &fsPath);

protected:
    void run() override;

private:
    // Each file to delete with the order folder it must stay inside.
    QList<QPair<QString, QString>> pendingPaths;
};
