#pragma once

#include <QString>
#include <QTemporaryDir>

// A real, nearly full volume for tests of what a full disk does: a small
// memory file system mounted over a temporary folder. It is mounted in a
// mount namespace of the test process's own, so nothing outside the test
// sees it and it goes away with the process. That needs root (or the right
// to make mount namespaces) on Linux; elsewhere no volume is made and the
// test skips.
class TinyVolume
{
public:
    // Moves the process into a mount namespace of its own. Call it first in
    // main(), before any thread starts: threads started earlier keep seeing
    // the old mounts.
    static void isolateMounts();

    explicit TinyVolume(qint64 bytes);
    ~TinyVolume();

    bool isValid() const { return mounted; }
    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }

    // Fills the volume with the file "filler" until only about leaveBytes
    // are free.
    bool fill(qint64 leaveBytes);

    // Why no volume could be made (for QSKIP).
    static const char *unavailableReason();

private:
    QTemporaryDir dir;
    bool mounted = false;
};

// main() of a Qt Test executable whose tests use TinyVolume.
#define TINYVOLUME_TEST_MAIN(TestObject)                                                                          \
    int main(int argc, char *argv[])                                                                                  \
    {                                                                                                                 \
        TinyVolume::isolateMounts();                                                                                  \
        QTEST_MAIN_IMPL(TestObject)                                                                                   \
    }
