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
// "." or ".." part and not directly in a drive, share or volume root.
// The pool owns the job (auto-delete).
class DeleteFileRunnable : public QObject, public QRunnable
{
    Q_OBJECT

public:
    explicit DeleteFileRunnable(const ThumbnailPhoto &photo, QObject *parent = nullptr);
    ~DeleteFileRunnable() override;

    void run() override;

    // Why the path may not be deleted, or empty when it may. label names
    // the file in the text.
    static QString refusal(const QString &path, const QString &label);

signals:
    void deleteFinished(DeleteFileResult result);

private:
    ThumbnailPhoto photo;
};
