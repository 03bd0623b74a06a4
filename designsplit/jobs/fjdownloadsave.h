#pragma once

#include <memory>

#include <QByteArray>
#include <QObject>
#include <QRunnable>
#include <QString>

#include "designsplit/jobs/fjrungate.h"

// Writes one downloaded picture or text into an order folder, off the GUI
// thread, never through a link and never outside the order folder. A picture whose bytes are already in the format its name asks for
// is written as received (no re-encode, its EXIF block kept); only a picture
// of another format is decoded and converted. Every write replaces the file
// atomically.
class FJDownloadSave : public QRunnable
{
public:
    // The job reports to owner's slot onDownloadSaved(int sequence, bool ok,
    // QString path, QString message) by a queued call. The owner waits for
    // its pool before it goes, so it outlives the job. The job passes gate,
    // when given, before it writes.
    FJDownloadSave(const QByteArray &data, const QString &orderRoot, const QString &folder, const QString &name,
                   bool asText, int sequence, QObject *owner, std::shared_ptr<FJRunGate> gate = nullptr);

    void run() override;

    // The work itself: path is folder + name, folder lying in the order
    // folder orderRoot; message the failure text ("<name> ..." or the
    // refusal of a link), empty on success.
    static bool save(const QByteArray &data, const QString &orderRoot, const QString &folder, const QString &name,
                     bool asText, QString *path, QString *message);

    // The image format the bytes hold ("jpeg", "png" ...), empty when they
    // are no picture Qt reads. Only the header is looked at.
    static QByteArray formatOf(const QByteArray &data);
    // The format a file name's suffix asks for; empty when Qt cannot write it.
    static QByteArray formatForName(const QString &name);

private:
    QByteArray m_data;
    QString m_orderRoot;
    QString m_folder;
    QString m_name;
    bool m_asText = false;
    int m_sequence = 0;
    QObject *m_owner = nullptr;
    std::shared_ptr<FJRunGate> m_gate;
};
