// The developer's trial form and task: the task prepares the size folders
// of an import path, the form's button does nothing.

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "importfiles/jobs/testthread.h"
#include "importfiles/test.h"

class TestTestThread : public QObject
{
    Q_OBJECT

private slots:
    void makesSizeFolders();
    void formButtonDoesNothing();
};

void TestTestThread::makesSizeFolders()
{
    QTemporaryDir dir;
    const QString importPath = dir.filePath(QStringLiteral("2024/03/07/A1-1"));
    QMap<QString, QString> params{{QStringLiteral("importpath"), importPath},
                                  {QStringLiteral("filepath"), dir.filePath(QStringLiteral("missing.jpg"))}};
    for (int round = 0; round < 2; ++round) {
        TestThread task(QStringLiteral("任务"), params, 0);
        task.run();
        QCOMPARE(QDir(importPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
                 (QStringList{"190", "1920", "90"}));
    }
    // Nothing is copied: the file named in the parameters is not looked at.
    QCOMPARE(QDir(importPath).entryList(QDir::Files).size(), 0);
}

void TestTestThread::formButtonDoesNothing()
{
    Test form;
    QCOMPARE(form.objectName(), QStringLiteral("Test"));
    QCOMPARE(form.size(), QSize(400, 300));
    auto *button = form.findChild<QPushButton *>(QStringLiteral("pushButton"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("开始"));
    QCOMPARE(button->geometry(), QRect(180, 130, 80, 24));
    button->click();
    QCOMPARE(form.children().size(), 1);
}

QTEST_MAIN(TestTestThread)
#include "tst_testthread.moc"
