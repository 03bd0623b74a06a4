#pragma once

#include <QMetaType>
#include <QObject>
#include <QRunnable>
#include <QString>

#include "public/thumbnailphoto.h"

// The outcome of removing one stored photo's files.
struct DeleteFileResult
{
    // True once any file of the photo (main file or reduced copy) is gone.
    bool success = false;
    // Every failure of the job, one per line; empty when nothing failed.
    QString message;
    ThumbnailPhoto photo;
};

Q_DECLARE_METATYPE(DeleteFileResult)

// Removes a stored photo's file and then its reduced copies on a pool
// thread, and reports once. The paths come from the service, so each is
// refused unless it is an absolute path to an existing regular file with no
// "." or ".." part and not directly in a drive, share or volume root, and
// unless it lies in the order's folder with no link on the way (the order
// folder itself included). The pool owns the job (auto-delete).
class DeleteFileRunnable : public QObject, public QRunnable
{
    Q_OBJECT

public:
    // orderFolder: the order's folder as the service gives it.
    DeleteFileRunnable(const ThumbnailPhoto &photo, const QString &orderFolder, QObject *parent = nullptr);
    ~DeleteFileRunnable() override;

    void run() override;

    // Why the path may not be deleted, or empty when it may. label names
    // the file in the text.
    static QString refusal(const QString &path, const QString &label);

signals:
    void deleteFinished(DeleteFileResult result);

private:
    // Removes path inside the order folder; false with *reason, naming the
    // file by label, when it was not removed. failed joins label and the
    // file system's reason.
    bool remove(const QString &path, const QString &label, const QString &failed, QString *reason) const;

    ThumbnailPhoto photo;
    QString orderFolder;
};
