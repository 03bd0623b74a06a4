#pragma once

#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QThreadPool>

// Opens local or shared folders in the desktop's file manager.
class SharedFolderOpener : public QObject
{
    Q_OBJECT

public:
    explicit SharedFolderOpener(QObject *parent = nullptr);

    // Opens the folder; returns an error text for the user, empty on success.
    QString openLocalFolder(const QString &path);

    static QString normalizePath(const QString &path);
    void clearBusy(const QString &path);
    bool isBusy(const QString &path) const;
    static QPair<bool, QString> openWithExplorer(const QString &path, int timeoutMs);
    static bool isHostReachable(const QString &path, int timeoutMs);

    // Replaces the desktop call in tests; returns whether the folder opened.
    static void setOpenUrlHook(bool (*hook)(const QString &localPath));

signals:
    void stateChanged(const QString &path, bool busy);
    void finished(const QString &path, bool ok, const QString &message);

private:
    QSet<QString> m_busy;
    QThreadPool m_pool;
};
