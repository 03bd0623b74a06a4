#pragma once

#include <QMap>
#include <QString>

// Hostile folder trees for the tests of every job that writes or deletes:
// an "outside" folder whose files no job may touch, and links planted where
// a job expects a file or a folder. Each test maps the cases onto its own
// job's layout with addCases() and plant().
class HostileTree
{
public:
    enum Case {
        LinkAsTarget,      // the file the job writes or deletes is a link to a file outside
        DanglingLink,      // the same, its target missing (a write would create it outside)
        LinkedSubFolder,   // a folder of the order's is a link to the outside folder
        OrderFolderIsLink, // the order's folder itself is a link to the outside folder
        BackslashName,     // a file named "deep\deeper\victim.jpg" (Linux: one name)
    };

    // Adds the column "hostile" (int, a Case) and one row per case, with
    // the row names prefixed.
    static void addCases(const char *prefix = "");

    // Makes root/outside with a few files whose contents are recorded.
    explicit HostileTree(const QString &root);

    QString outside() const;
    // A file outside that a link points at.
    QString victim() const;

    // A symbolic link at path (its folders made) to target.
    static bool link(const QString &target, const QString &path);
    // A link at path to victim(), or to a missing file outside when dangling.
    bool linkToVictim(const QString &path, bool dangling = false) const;
    // A link at path to the outside folder.
    bool linkToOutside(const QString &path) const;

    // Whether the outside folder holds what it held at the start, nothing
    // more, nothing less, nothing changed; *what says what differs.
    bool untouched(QString *what = nullptr) const;

private:
    QString m_root;
    QMap<QString, QByteArray> m_files;
};
