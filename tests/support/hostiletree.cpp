#include "tests/support/hostiletree.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include "tests/support/treefixture.h"

void HostileTree::addCases(const char *prefix)
{
    QTest::addColumn<int>("hostile");
    const QString p = QString::fromUtf8(prefix);
    QTest::newRow(qPrintable(p + QStringLiteral("link as target"))) << int(LinkAsTarget);
    QTest::newRow(qPrintable(p + QStringLiteral("dangling link as target"))) << int(DanglingLink);
    QTest::newRow(qPrintable(p + QStringLiteral("linked sub-folder"))) << int(LinkedSubFolder);
    QTest::newRow(qPrintable(p + QStringLiteral("order folder is a link"))) << int(OrderFolderIsLink);
    QTest::newRow(qPrintable(p + QStringLiteral("name with a backslash"))) << int(BackslashName);
}

HostileTree::HostileTree(const QString &root)
    : m_root(root)
{
    m_files.insert(QStringLiteral("victim.jpg"), QByteArray("outside victim"));
    m_files.insert(QStringLiteral("合同.pdf"), QByteArray("another order's contract"));
    m_files.insert(QStringLiteral("all/IMG_0001.jpg"), QByteArray("another order's photo"));
    m_files.insert(QStringLiteral("原片/IMG_0001.jpg"), QByteArray("another order's original"));
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it)
        TreeFixture::write(outside() + QLatin1Char('/') + it.key(), it.value());
}

QString HostileTree::outside() const
{
    return m_root + QStringLiteral("/outside");
}

QString HostileTree::victim() const
{
    return outside() + QStringLiteral("/victim.jpg");
}

bool HostileTree::link(const QString &target, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return QFile::link(target, path);
}

bool HostileTree::linkToVictim(const QString &path, bool dangling) const
{
    return link(dangling ? outside() + QStringLiteral("/missing.jpg") : victim(), path);
}

bool HostileTree::linkToOutside(const QString &path) const
{
    return link(outside(), path);
}

bool HostileTree::untouched(QString *what) const
{
    const QStringList now = TreeFixture::below(outside(), QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs
                                                               | QDir::NoDotAndDotDot);
    QStringList expected;
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        expected << it.key();
        const QString dir = QFileInfo(it.key()).path();
        if (dir != QLatin1String(".") && !expected.contains(dir))
            expected << dir;
    }
    expected.sort();
    if (now != expected) {
        if (what)
            *what = QStringLiteral("outside holds %1").arg(now.join(QStringLiteral(", ")));
        return false;
    }
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        if (TreeFixture::read(outside() + QLatin1Char('/') + it.key()) != it.value()) {
            if (what)
                *what = QStringLiteral("outside file changed: ") + it.key();
            return false;
        }
    }
    return true;
}
