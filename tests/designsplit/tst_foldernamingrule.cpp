#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QJsonDocument>
#include <QMenu>
#include <QMimeData>
#include <QParallelAnimationGroup>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "base/k.h"
#include "designsplit/dropzone.h"
#include "designsplit/foldernamingrule.h"
#include "designsplit/jobs/fjdatathread.h"
#include "designsplit/namingrulebuttons.h"
#include "tests/public/widgetrender.h"
#include "tests/support/jobreceiver.h"

namespace {

int px(int n)
{
    return K::instance()->scale(n);
}

QJsonArray fields(const QList<QStringList> &list)
{
    QJsonArray rule;
    for (const QStringList &f : list) {
        QJsonObject o{{"name", f.value(0)}, {"key", f.value(1)}};
        if (f.size() > 2)
            o.insert("separator", f.at(2));
        rule.append(o);
    }
    return rule;
}

QStringList keys(const DropZone *zone)
{
    QStringList out;
    for (const DropZone::Entry &e : zone->entries())
        out << e.chip->key();
    return out;
}

// Sends one drag event of the given kind with data to the zone at pos.
bool sendDrag(DropZone *zone, QEvent::Type type, const QPoint &pos, QMimeData *data, Qt::DropAction action)
{
    if (type == QEvent::DragLeave) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(zone, &leave);
        return true;
    }
    if (type == QEvent::DragEnter) {
        QDragEnterEvent e(pos, action, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(zone, &e);
        return e.isAccepted();
    }
    if (type == QEvent::DragMove) {
        QDragMoveEvent e(pos, action, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(zone, &e);
        return e.isAccepted();
    }
    QDropEvent e(pos, action, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(zone, &e);
    return e.isAccepted();
}

// A move with the left button held, as a drag gesture sends it.
void moveWithLeft(QWidget *widget, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

QMimeData *fieldItem(const QString &text)
{
    auto *mime = new QMimeData;
    mime->setData("application/x-field-item", text.toUtf8());
    return mime;
}

// Waits until the zone's chips stand where the last layout put them.
bool settled(DropZone *zone)
{
    QElapsedTimer timer;
    timer.start();
    while (!zone->findChildren<QParallelAnimationGroup *>().isEmpty()) {
        if (timer.elapsed() > 5000)
            return false;
        QTest::qWait(10);
    }
    return true;
}

} // namespace

class TestFolderNamingRule : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void availableFields();
    void paletteIsReplaced();
    void ruleForms_data();
    void ruleForms();
    void paletteDrop_data();
    void paletteDrop();
    void reorder_data();
    void reorder();
    void reorderDraggedOutRestoresChip();
    void separatorMenu();
    void wrapRaisesMinimumHeight();
    void editorRuleNamesProductFolder();
    void render();

private:
    FolderNamingRule *m_editor = nullptr;
    NamingRuleDragRunner m_defaultRunner;
};

void TestFolderNamingRule::init()
{
    m_defaultRunner = namingRuleDragRunner();
    m_editor = new FolderNamingRule;
    m_editor->setAvailableFields(FolderNamingRule::availableFields(QStringLiteral("产品文件夹")));
    m_editor->resize(480, 300);
    m_editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_editor));
}

void TestFolderNamingRule::cleanup()
{
    namingRuleDragRunner() = m_defaultRunner;
    delete m_editor;
    m_editor = nullptr;
}

void TestFolderNamingRule::availableFields()
{
    const auto list = FolderNamingRule::availableFields(QStringLiteral("产品文件夹"));
    QStringList pairs;
    for (const auto &f : list)
        pairs << f.value("name") + "=" + f.value("key");
    QCOMPARE(pairs, QStringList({"产品ID=id", "产品名称=name", "客人姓名=customername", "订单号=orderpayforkey",
                                 "服务次=servicetimes", "数量=goodnum", "快递方式=isems", "取件时间=pickuptime",
                                 "产品类型=goodtype"}));
    QVERIFY(FolderNamingRule::availableFields(QStringLiteral("订单文件夹")).isEmpty());
}

void TestFolderNamingRule::paletteIsReplaced()
{
    m_editor->setAvailableFields(FolderNamingRule::availableFields(QStringLiteral("产品文件夹")));
    m_editor->setAvailableFields({{{"name", "只一个"}}});
    QTRY_COMPARE_WITH_TIMEOUT(m_editor->palette()->findChildren<DraggableFieldSource *>().size(), 1, 5000);
    const auto *source = m_editor->palette()->findChild<DraggableFieldSource *>();
    QCOMPARE(source->text(), QStringLiteral("只一个"));
    QCOMPARE(source->key(), QString());
}

void TestFolderNamingRule::ruleForms_data()
{
    QTest::addColumn<QJsonArray>("rule");
    QTest::addColumn<QString>("json");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QStringList>("buttonTexts");

    QTest::newRow("empty") << QJsonArray() << "[]" << "" << QStringList() << QStringList();
    QTest::newRow("one field drops its separator")
        << fields({{"产品ID", "id", "-"}}) << R"([{"key":"id","name":"产品ID"}])" << "{id}" << QStringList{"id"}
        << QStringList{"-"};
    QTest::newRow("two fields") << fields({{"产品ID", "id", "_"}, {"产品名称", "name"}})
                                << R"([{"key":"id","name":"产品ID","separator":"_"},{"key":"name","name":"产品名称"}])"
                                << "{id}_{name}" << QStringList{"id", "_", "name"} << QStringList{"_", ""};
    QTest::newRow("middle without separator, blank, unknown key")
        << fields({{"产品ID", "id", " "}, {"数量", "goodnum"}, {"", "colour", "#"}})
        << R"([{"key":"id","name":"产品ID","separator":" "},{"key":"goodnum","name":"数量","separator":""},{"key":"colour","name":""}])"
        << "{id} {goodnum}{colour}" << QStringList{"id", " ", "goodnum", "", "colour"} << QStringList{"␣", "", "#"};
    QTest::newRow("not an object") << QJsonArray{42} << R"([{"key":"","name":""}])" << "{}" << QStringList{""}
                                   << QStringList{""};
}

void TestFolderNamingRule::ruleForms()
{
    QFETCH(QJsonArray, rule);
    QFETCH(QString, json);
    QFETCH(QString, text);
    QFETCH(QStringList, parts);
    QFETCH(QStringList, buttonTexts);

    QSignalSpy spy(m_editor, &FolderNamingRule::ruleChangedJson);
    m_editor->setRule(rule);
    QCOMPARE(spy.size(), 1 + rule.size());
    QCOMPARE(spy.last().first().toJsonArray(), m_editor->ruleJson());
    QCOMPARE(QString::fromUtf8(QJsonDocument(m_editor->ruleJson()).toJson(QJsonDocument::Compact)), json);
    QCOMPARE(m_editor->ruleString(), text);
    QCOMPARE(m_editor->ruleParts(), parts);
    QStringList shown;
    for (const DropZone::Entry &e : m_editor->dropZone()->entries())
        shown << e.separatorButton->text();
    QCOMPARE(shown, buttonTexts);

    // Loading the same rule again gives the same rule.
    m_editor->setRule(m_editor->ruleJson());
    QCOMPARE(QString::fromUtf8(QJsonDocument(m_editor->ruleJson()).toJson(QJsonDocument::Compact)), json);
}

void TestFolderNamingRule::paletteDrop_data()
{
    QTest::addColumn<QStringList>("drops");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("emitted");

    QTest::newRow("first field") << QStringList{"产品ID|id"} << "{id}" << 1;
    QTest::newRow("same field twice") << QStringList{"产品ID|id", "产品ID|id"} << "{id}_{id}" << 2;
    QTest::newRow("no bar adds nothing") << QStringList{"产品ID"} << "" << 0;
    QTest::newRow("extra parts ignored") << QStringList{"数量|goodnum|x"} << "{goodnum}" << 1;
}

void TestFolderNamingRule::paletteDrop()
{
    QFETCH(QStringList, drops);
    QFETCH(QString, expected);
    QFETCH(int, emitted);
    DropZone *zone = m_editor->dropZone();
    QSignalSpy spy(zone, &DropZone::ruleChanged);
    QCOMPARE(zone->insertIndexAt(QPoint(5, 5)), 0);
    for (const QString &text : drops) {
        QScopedPointer<QMimeData> mime(fieldItem(text));
        const QPoint end(zone->width() - 10, zone->height() / 2);
        QVERIFY(sendDrag(zone, QEvent::DragEnter, end, mime.data(), Qt::CopyAction));
        QVERIFY(sendDrag(zone, QEvent::DragMove, end, mime.data(), Qt::CopyAction));
        QVERIFY(zone->dropIndicator()->isVisible());
        QVERIFY(sendDrag(zone, QEvent::Drop, end, mime.data(), Qt::CopyAction));
        QVERIFY(!zone->dropIndicator()->isVisible());
        QVERIFY(settled(zone));
    }
    QCOMPARE(zone->ruleString(), expected);
    QCOMPARE(spy.size(), emitted);

    // Data in neither format is refused.
    QMimeData plain;
    plain.setText("产品ID|id");
    QVERIFY(!sendDrag(zone, QEvent::DragEnter, QPoint(10, 10), &plain, Qt::CopyAction));
    QVERIFY(!sendDrag(zone, QEvent::Drop, QPoint(10, 10), &plain, Qt::CopyAction));
    QCOMPARE(zone->ruleString(), expected);
}

void TestFolderNamingRule::reorder_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("emitted");

    QTest::newRow("first to the end") << 0 << "end" << QStringList{"name", "goodnum", "id"} << 1;
    QTest::newRow("last to the front") << 2 << "front" << QStringList{"goodnum", "id", "name"} << 1;
    QTest::newRow("onto itself") << 1 << "self" << QStringList{"id", "name", "goodnum"} << 0;
    QTest::newRow("just after itself") << 0 << "before:1" << QStringList{"id", "name", "goodnum"} << 0;
}

void TestFolderNamingRule::reorder()
{
    QFETCH(int, from);
    QFETCH(QString, where);
    QFETCH(QStringList, expected);
    QFETCH(int, emitted);

    m_editor->setRule(fields({{"产品ID", "id", "_"}, {"产品名称", "name", "-"}, {"数量", "goodnum"}}));
    DropZone *zone = m_editor->dropZone();
    QVERIFY(settled(zone));
    const QList<DropZone::Entry> entries = zone->entries();
    FieldButton *chip = entries.at(from).chip;

    QSignalSpy spy(zone, &DropZone::ruleChanged);
    bool hiddenDuringDrag = false;
    namingRuleDragRunner() = [&](QDrag *drag, Qt::DropAction action) {
        hiddenDuringDrag = !chip->isVisible();
        // The other chips close up before the pointer moves.
        settled(zone);
        QPoint target;
        if (where == "end") {
            const QRect last = entries.last().chip->geometry();
            target = QPoint(last.right() + 3, last.center().y());
        } else if (where == "front") {
            const QRect first = entries.first().chip->geometry();
            target = QPoint(first.left() + 1, first.center().y());
        } else if (where == "self") {
            // Over the chip in front, right of its middle: the dragged
            // chip's own gap.
            const QRect before = entries.at(from - 1).chip->geometry();
            target = QPoint(before.right() - 1, before.center().y());
        } else {
            const QRect next = entries.at(where.section(':', 1).toInt()).chip->geometry();
            target = QPoint(next.left() + 1, next.center().y());
        }
        sendDrag(zone, QEvent::DragEnter, target, drag->mimeData(), action);
        sendDrag(zone, QEvent::DragMove, target, drag->mimeData(), action);
        sendDrag(zone, QEvent::Drop, target, drag->mimeData(), action);
        return action;
    };
    // A press and a move past the drag distance start the reorder drag.
    QTest::mousePress(chip, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    moveWithLeft(chip, QPoint(5 + QApplication::startDragDistance() + 2, 5));
    QVERIFY(hiddenDuringDrag);
    QCOMPARE(keys(zone), expected);
    QCOMPARE(spy.size(), emitted);
    QVERIFY(chip->isVisible());
    QVERIFY(!zone->dropIndicator()->isVisible());
    // Separators travel with their fields.
    QCOMPARE(zone->ruleJson(), m_editor->ruleJson());
    const QStringList parts = zone->ruleParts();
    if (where == "end")
        QCOMPARE(parts, QStringList({"name", "-", "goodnum", "", "id"}));
}

void TestFolderNamingRule::reorderDraggedOutRestoresChip()
{
    m_editor->setRule(fields({{"产品ID", "id", "_"}, {"产品名称", "name"}}));
    DropZone *zone = m_editor->dropZone();
    QVERIFY(settled(zone));
    FieldButton *chip = zone->entries().first().chip;
    const QPoint place = chip->pos();
    QSignalSpy spy(zone, &DropZone::ruleChanged);
    namingRuleDragRunner() = [&](QDrag *drag, Qt::DropAction action) {
        sendDrag(zone, QEvent::DragEnter, QPoint(10, 10), drag->mimeData(), action);
        sendDrag(zone, QEvent::DragLeave, QPoint(), drag->mimeData(), action);
        return Qt::IgnoreAction;
    };
    QTest::mousePress(chip, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    moveWithLeft(chip, QPoint(5 + QApplication::startDragDistance() + 2, 5));
    QCOMPARE(keys(zone), QStringList({"id", "name"}));
    QCOMPARE(spy.size(), 0);
    QVERIFY(chip->isVisible());
    QVERIFY(settled(zone));
    QCOMPARE(chip->pos(), place);
}

void TestFolderNamingRule::separatorMenu()
{
    m_editor->setRule(fields({{"产品ID", "id", "#"}, {"产品名称", "name"}}));
    DropZone *zone = m_editor->dropZone();
    SeparatorButton *button = zone->entries().first().separatorButton;
    QSignalSpy spy(m_editor, &FolderNamingRule::ruleChangedJson);

    const auto choose = [&](const QString &separator, QStringList *checked) {
        QTimer::singleShot(0, [=] {
            auto *menu = button->findChild<QMenu *>();
            if (!menu)
                return;
            QAction *wanted = nullptr;
            for (QAction *a : menu->actions()) {
                if (a->isChecked())
                    checked->append(a->data().toString());
                if (a->data().toString() == separator)
                    wanted = a;
            }
            // Chosen as a user does, so the menu reports the action.
            menu->setActiveAction(wanted);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mousePress(button, Qt::LeftButton);
    };
    QStringList checked;
    choose(" ", &checked);
    QCOMPARE(checked, QStringList{"#"});
    QCOMPARE(button->text(), QStringLiteral("␣"));
    QCOMPARE(zone->ruleString(), QStringLiteral("{id} {name}"));
    QCOMPARE(spy.size(), 1);
    // The same separator again still reports the rule.
    checked.clear();
    choose(" ", &checked);
    QCOMPARE(checked, QStringList{" "});
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.last().first().toJsonArray().first().toObject().value("separator").toString(), QStringLiteral(" "));
    // The menu lists the nine separators in order.
    QCOMPARE(button->choices(), QStringList({" ", ",", ".", "《", "》", "_", "-", "=", "#"}));
}

void TestFolderNamingRule::wrapRaisesMinimumHeight()
{
    m_editor->resize(300, 300);
    DropZone *zone = m_editor->dropZone();
    QList<QStringList> many;
    for (const auto &f : FolderNamingRule::availableFields(QStringLiteral("产品文件夹")))
        many << QStringList{f.value("name"), f.value("key"), "_"};
    m_editor->setRule(fields(many.mid(0, 2)));
    QCOMPARE(zone->minimumHeight(), px(60));
    m_editor->setRule(fields(many.mid(0, 5)));
    QVERIFY(settled(zone));
    QVERIFY(zone->minimumHeight() >= px(12) + px(6) + px(32) + px(32) + px(12));
    const int wrapped = zone->minimumHeight();
    // Chips of a later row sit below the first.
    QVERIFY(zone->entries().last().chip->y() > zone->entries().first().chip->y());
    // Back to one row: the zone does not shrink back.
    m_editor->setRule(fields(many.mid(0, 1)));
    QCOMPARE(zone->minimumHeight(), wrapped);
}

void TestFolderNamingRule::editorRuleNamesProductFolder()
{
    // A shop's rule built in the editor names the product folder.
    DropZone *zone = m_editor->dropZone();
    for (const QString &item : {QStringLiteral("产品名称|name"), QStringLiteral("数量|goodnum")}) {
        QScopedPointer<QMimeData> mime(fieldItem(item));
        const QPoint end(zone->width() - 10, 20);
        sendDrag(zone, QEvent::DragEnter, end, mime.data(), Qt::CopyAction);
        sendDrag(zone, QEvent::Drop, end, mime.data(), Qt::CopyAction);
    }
    QCOMPARE(zone->ruleString(), QStringLiteral("{name}_{goodnum}"));

    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    QDir().mkpath(root + QStringLiteral("其他/成品"));
    JobReceiver receiver;
    const QJsonObject order{{"mname", "张"}, {"wname", "李"}, {"pickuptime", "05-01"}};
    const QJsonObject good{{"goodname", "相册"}, {"goodamount", "2"}, {"factoryname", "厂A"}, {"isems", "快递"}};
    auto *job = new FJDataThread(QStringLiteral("创建产品"), order, good, root, &receiver);
    job->namingRule = m_editor->ruleJson();
    QVERIFY(receiver.runOne(job).ok);
    QVERIFY(QFileInfo(root + QStringLiteral("厂A 张-李 05-01取 快递/相册_2")).isDir());
}

void TestFolderNamingRule::render()
{
    m_editor->resize(420, 320);
    m_editor->setRule(fields({{"产品名称", "name", "_"}, {"数量", "goodnum", "-"}, {"客人姓名", "customername", " "},
                              {"取件时间", "pickuptime"}}));
    QVERIFY(settled(m_editor->dropZone()));
    const QImage image = renderWidget(m_editor, QStringLiteral("foldernamingrule"));
    QVERIFY(!image.isNull());
    // Chips keep their own light-blue background inside the zone.
    const FieldButton *chip = m_editor->dropZone()->entries().first().chip;
    const QPoint inChip = chip->mapTo(m_editor, QPoint(3, chip->height() / 2)) * image.devicePixelRatio();
    QVERIFY(closeTo(image.pixel(inChip), QColor(QStringLiteral("#e8f4fd")), 6));
    // The palette shows all nine fields below the zone.
    QCOMPARE(m_editor->palette()->findChildren<DraggableFieldSource *>().size(), 9);
    for (DraggableFieldSource *s : m_editor->palette()->findChildren<DraggableFieldSource *>())
        QVERIFY(s->geometry().right() < m_editor->palette()->width());
}

QTEST_MAIN(TestFolderNamingRule)
#include "tst_foldernamingrule.moc"
