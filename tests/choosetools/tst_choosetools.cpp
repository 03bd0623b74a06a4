#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QtTest>

#include "base/globals.h"
#include "base/k.h"
#include "choosetools/choosetools.h"
#include "choosetools/toolcardwidget.h"
#include "designsplit/fjhome.h"

namespace {

ToolCardWidget *cardFor(ChooseTools &chooser, const QString &title)
{
    for (ToolCardWidget *card : chooser.cards()) {
        if (card->title() == title)
            return card;
    }
    return nullptr;
}

} // namespace

class TestChooseTools : public QObject
{
    Q_OBJECT

private slots:
    void cardsInTheirCells();
    void oneWindowPerCard();
    void closedWindowIsMadeAfresh();
    void onlyCardsOpenTools();
    void everyCardOpensItsTool();
    void dragByCardMovesWindow();
    void centredOnFirstShowOnly();
    void fitsTheScreen_data();
    void fitsTheScreen();
    void toolWindowFitsTheScreen();
    void renders();
};

void TestChooseTools::cardsInTheirCells()
{
    ChooseTools chooser;
    const QStringList expected{"导入原片", "下载原始档", "导片工具", "下载选片结果",
                               "导入精修片", "设计分件", "下载照片交付", "批量删除"};
    QCOMPARE(chooser.cards().size(), 8);
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    for (int i = 0; i < expected.size(); ++i) {
        ToolCardWidget *card = chooser.cards().at(i);
        QCOMPARE(card->title(), expected.at(i));
        QCOMPARE(card->size(), QSize(K::instance()->scale(180) + 20, K::instance()->scale(110) + 20));
        if (i % 3 > 0) {
            ToolCardWidget *left = chooser.cards().at(i - 1);
            QCOMPARE(card->y(), left->y());
            QVERIFY(card->x() > left->x());
        }
        if (i >= 3)
            QVERIFY(card->y() > chooser.cards().at(i - 3)->y());
    }
}

void TestChooseTools::oneWindowPerCard()
{
    ChooseTools chooser;
    chooser.loginData = QJsonObject{{"UID", "u1"}};
    int made = 0;
    chooser.setToolFactory(QStringLiteral("导片工具"), [&made](ChooseTools *owner) {
        ++made;
        auto *w = new QWidget;
        w->setProperty("uid", owner->loginData.value(QStringLiteral("UID")).toString());
        return w;
    });
    chooser.setToolFactory(QStringLiteral("设计分件"), [&made](ChooseTools *) {
        ++made;
        return new QWidget;
    });
    chooser.show();
    ToolCardWidget *card = cardFor(chooser, QStringLiteral("导片工具"));
    QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
    QPointer<QWidget> first = chooser.toolWindow(QStringLiteral("导片工具"));
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(first->windowState() & Qt::WindowMaximized);
    QVERIFY(first->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(first->property("uid").toString(), QStringLiteral("u1"));

    first->showMinimized();
    QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
    QCOMPARE(made, 1);
    QCOMPARE(chooser.toolWindow(QStringLiteral("导片工具")), first.data());
    QVERIFY(first->windowState() & Qt::WindowMaximized);

    ToolCardWidget *other = cardFor(chooser, QStringLiteral("设计分件"));
    QTest::mouseDClick(other, Qt::LeftButton, Qt::NoModifier, other->rect().center());
    QCOMPARE(made, 2);
    QVERIFY(chooser.toolWindow(QStringLiteral("设计分件")) != first.data());

    // Tool windows outlive the chooser.
    chooser.close();
    QVERIFY(first);
    delete chooser.toolWindow(QStringLiteral("设计分件"));
    delete first.data();
}

void TestChooseTools::closedWindowIsMadeAfresh()
{
    ChooseTools chooser;
    int made = 0;
    chooser.setToolFactory(QStringLiteral("批量删除"), [&made](ChooseTools *) {
        ++made;
        return new QWidget;
    });
    chooser.show();
    ToolCardWidget *card = cardFor(chooser, QStringLiteral("批量删除"));
    QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
    QPointer<QWidget> first = chooser.toolWindow(QStringLiteral("批量删除"));
    QVERIFY(first);
    first->close();
    QTRY_VERIFY(!first);
    QVERIFY(!chooser.toolWindow(QStringLiteral("批量删除")));
    QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
    QCOMPARE(made, 2);
    QVERIFY(chooser.toolWindow(QStringLiteral("批量删除")));
    delete chooser.toolWindow(QStringLiteral("批量删除"));
}

void TestChooseTools::onlyCardsOpenTools()
{
    ChooseTools chooser;
    int made = 0;
    chooser.setToolFactory(QStringLiteral("导片工具"), [&made](ChooseTools *) {
        ++made;
        return new QWidget;
    });
    // Called directly, not by a card: ignored.
    chooser.onToolDoubleClicked(QStringLiteral("导片工具"));
    QCOMPARE(made, 0);
    QVERIFY(!chooser.toolWindow(QStringLiteral("导片工具")));
}

// Every card opens its own tool's window, the design-split one in the
// card's mode.
void TestChooseTools::everyCardOpensItsTool()
{
    const QMap<QString, QString> windows{{"导入原片", "ImportFiles"},    {"下载原始档", "FJHome"},
                                         {"导片工具", "tfhome"},         {"下载选片结果", "FJHome"},
                                         {"导入精修片", "ImportFiles"},  {"设计分件", "FJHome"},
                                         {"下载照片交付", "FJHome"},     {"批量删除", "BatchDelete"}};
    const QMap<QString, int> modes{{"设计分件", DesignSplit},
                                   {"下载原始档", DownloadRawFiles},
                                   {"下载选片结果", DownloadSelectionResults},
                                   {"下载照片交付", DownloadPhotoDelivery}};
    ChooseTools chooser;
    chooser.show();
    QCOMPARE(chooser.cards().size(), windows.size());
    QList<QPointer<QWidget>> opened;
    for (ToolCardWidget *card : chooser.cards()) {
        QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
        QWidget *window = chooser.toolWindow(card->title());
        QVERIFY2(window, qPrintable(card->title()));
        opened << window;
        QCOMPARE(QString::fromLatin1(window->metaObject()->className()), windows.value(card->title()));
        if (auto *split = qobject_cast<FJHome *>(window))
            QCOMPARE(split->mode, modes.value(card->title()));
    }
    for (const QPointer<QWidget> &window : qAsConst(opened))
        delete window.data();
}

void TestChooseTools::dragByCardMovesWindow()
{
    ChooseTools chooser;
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    const QPoint before = chooser.pos();
    ToolCardWidget *card = chooser.cards().first();
    const QPoint start = card->rect().center();
    QTest::mousePress(card, Qt::LeftButton, Qt::NoModifier, start);
    QMouseEvent move(QEvent::MouseMove, chooser.mapFromGlobal(card->mapToGlobal(start + QPoint(30, 20))),
                     card->mapToGlobal(start + QPoint(30, 20)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&chooser, &move);
    QTest::mouseRelease(card, Qt::LeftButton, Qt::NoModifier, start + QPoint(30, 20));
    QCOMPARE(chooser.pos(), before + QPoint(30, 20));
}

void TestChooseTools::centredOnFirstShowOnly()
{
    // Earlier functions already showed a chooser: a later one is not moved.
    ChooseTools chooser;
    chooser.move(5, 7);
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QCOMPARE(chooser.pos(), QPoint(5, 7));
}

void TestChooseTools::fitsTheScreen_data()
{
    QTest::addColumn<float>("uiScale");
    QTest::newRow("screen higher than the window") << 0.6f;
    QTest::newRow("screen lower than the window") << 1.0f;
}

// The window shows every card and the version, whatever its nominal size;
// on a screen lower than the window the gaps between the rows give way.
void TestChooseTools::fitsTheScreen()
{
    QFETCH(float, uiScale);
    const float saved = g_uiScale;
    g_uiScale = uiScale;
    ChooseTools chooser;
    g_uiScale = saved;
    const QSize before = chooser.size();
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QCOMPARE(chooser.size(), before);

    const int free = QGuiApplication::primaryScreen()->availableGeometry().height();
    const int wanted = chooser.sizeHint().height();
    if (wanted <= free) {
        QCOMPARE(chooser.height(), wanted);
    } else {
        QVERIFY(chooser.height() <= qMax(free, chooser.minimumSizeHint().height()));
        QVERIFY(chooser.height() < wanted);
    }
    // Nothing cut: the title row, every card and the version label lie
    // inside the window, one below the other.
    auto *close = chooser.findChild<QWidget *>(QStringLiteral("closeButton"));
    auto *version = chooser.findChild<QLabel *>(QStringLiteral("versionLabel"));
    QVERIFY(close && version);
    QVERIFY(close->geometry().top() >= 0);
    QVERIFY(version->geometry().bottom() < chooser.height());
    int lastBottom = close->geometry().bottom();
    for (ToolCardWidget *card : chooser.cards()) {
        const QRect inWindow(card->mapTo(&chooser, QPoint(0, 0)), card->size());
        QVERIFY(chooser.rect().contains(inWindow));
        QVERIFY(inWindow.top() > close->geometry().bottom());
        lastBottom = qMax(lastBottom, inWindow.bottom());
    }
    QVERIFY(version->geometry().top() > lastBottom);
}

// A tool window larger than the screen opens maximised; restored (or where
// nothing maximises it) it lies on the screen, no larger than it.
void TestChooseTools::toolWindowFitsTheScreen()
{
    ChooseTools chooser;
    chooser.setToolFactory(QStringLiteral("导片工具"), [](ChooseTools *) {
        auto *w = new QWidget;
        w->resize(5000, 4000);
        return w;
    });
    chooser.show();
    ToolCardWidget *card = cardFor(chooser, QStringLiteral("导片工具"));
    QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
    QPointer<QWidget> window = chooser.toolWindow(QStringLiteral("导片工具"));
    QVERIFY(window);
    QVERIFY(window->windowState() & Qt::WindowMaximized);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(available.contains(window->normalGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(window->normalGeometry().x())
                            .arg(window->normalGeometry().y())
                            .arg(window->normalGeometry().width())
                            .arg(window->normalGeometry().height())));
    delete window.data();
}

void TestChooseTools::renders()
{
    ChooseTools chooser;
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QTest::qWait(350); // let the fade-in end
    const QImage image = chooser.grab().toImage();
    QVERIFY(image.save(QStringLiteral("choosetools.png")));
    // Transparent outside the card, the card's dark gradient inside.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    const QColor inside = image.pixelColor(image.width() / 2, K::instance()->scale(12));
    QVERIFY(inside.red() < 60 && inside.blue() > inside.red());
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    K::instance()->loadFont();
    TestChooseTools test;
    // The first chooser of the program is centred on the screen, and never
    // lies above or left of it (its title row holds the close button).
    {
        ChooseTools first;
        first.show();
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        if (first.pos() != QPoint(qMax(available.left(), available.left() + (available.width() - first.width()) / 2),
                                  qMax(available.top(), available.top() + (available.height() - first.height()) / 2))) {
            qCritical("first chooser not centred");
            return 1;
        }
    }
    return QTest::qExec(&test, argc, argv);
}

#include "tst_choosetools.moc"
