// The options panel: the search it asks for, the target folder, the start
// guard, the shop's naming rule (loaded, reset, saved to the shop it was
// sent for, back in the next login) and the raw-file lists.

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QParallelAnimationGroup>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "designsplit/dropzone.h"
#include "designsplit/namingrulebuttons.h"
#include "designsplit/foldernamingrule.h"
#include "designsplit/fjrightpanel.h"
#include "public/datepopup.h"
#include "public/thumbnailtableview.h"
#include "public/toastwidget.h"
#include "tests/designsplit/fjwindowdriver.h"

namespace {

const QString kSave = QStringLiteral("&m=public&a=save_goodsfoldernamerule");
const QString kRuleA = QStringLiteral(
    R"([{"key":"orderpayforkey","name":"订单号","separator":"_"},{"key":"customername","name":"客人姓名","separator":"-"},{"key":"name","name":"产品名称"}])");
const QString kRuleB = QStringLiteral(R"([{"key":"id","name":"产品ID"}])");

QStringList s_boxes;

QJsonArray parsed(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).array();
}

ThumbnailPhoto photo(const QString &name)
{
    ThumbnailPhoto p;
    p.id = name;
    p.name = name;
    return p;
}

} // namespace

class TestFJRightPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void searchAsks_data();
    void searchAsks();
    void calendarPicksDate();
    void folderLabel_data();
    void folderLabel();
    void startNeedsFolder_data();
    void startNeedsFolder();
    void ruleOfShops();
    void ruleLaidOutAtRealWidth();
    void saveRule();
    void saveAnswersSentShop();
    void saveRefused_data();
    void saveRefused();
    void imageLists();
    void deliveryBoxes();

private:
    FakeOrderService m_fake;
};

void TestFJRightPanel::initTestCase()
{
    QVERIFY(m_fake.start());
    g_indexUrl = m_fake.indexUrl();
    BaseReq::setTransferTimeout(10000);
    ModalBox::setHook([](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            s_boxes << box->text();
        return int(QMessageBox::Ok);
    });
}

void TestFJRightPanel::cleanupTestCase()
{
    ModalBox::setHook(nullptr);
}

void TestFJRightPanel::init()
{
    s_boxes.clear();
    m_fake.loadModel(FakeModel::testData());
    m_fake.clearFaults();
    m_fake.clearRequests();
    // Two shops of the same name: the combo's index, not its text, names one.
    g_shopList = {{QStringLiteral("11"), QStringLiteral("同名店"), kRuleA},
                  {QStringLiteral("12"), QStringLiteral("同名店"), kRuleB},
                  {QStringLiteral("13"), QStringLiteral("三号店"), QStringLiteral("not json")}};
    ModalBox::setFolderHook(nullptr);
}

void TestFJRightPanel::searchAsks_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("typeText");
    QTest::addColumn<QString>("keyword");
    QTest::newRow("keyword, not trimmed") << 0 << "基本信息" << " A1001 ";
    QTest::newRow("shot date") << 1 << "拍照日期" << "2024-05-01";
    QTest::newRow("selection date") << 2 << "选片日期" << "2023-12-31";
}

void TestFJRightPanel::searchAsks()
{
    QFETCH(int, type);
    QFETCH(QString, typeText);
    QFETCH(QString, keyword);
    FJRightPanel panel;
    panel.setSplitType(2);
    panel.shopCombo->setCurrentIndex(1);
    panel.searchTypeCombo->setCurrentIndex(type);
    QCOMPARE(panel.keywordEdit->isHidden(), type != 0);
    QCOMPARE(panel.shotDateEdit->isHidden(), type != 1);
    QCOMPARE(panel.selectDateEdit->isHidden(), type != 2);
    if (type == 0)
        panel.keywordEdit->setText(keyword);
    else
        (type == 1 ? panel.shotDateEdit : panel.selectDateEdit)->setDate(QDate::fromString(keyword, "yyyy-MM-dd"));

    QSignalSpy asked(&panel, &FJRightPanel::searchRequested);
    QTest::mouseClick(panel.searchButton, Qt::LeftButton);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first(), (QVariantList{typeText, keyword, QStringLiteral("12")}));
    QCOMPARE(g_splitShopId, QStringLiteral("12"));
    QVERIFY(!panel.searchButton->isEnabled());
    QCOMPARE(panel.searchButton->text(), QStringLiteral("搜索中..."));
    panel.onSetSearchBtnStatus(true);
    QVERIFY(panel.searchButton->isEnabled());
    // A search that ends during a batch leaves the button off.
    panel.setControlsEnabled(false);
    panel.onSetSearchBtnStatus(false);
    panel.onSetSearchBtnStatus(true);
    QVERIFY(!panel.searchButton->isEnabled());
    QCOMPARE(panel.searchButton->text(), QStringLiteral("搜索订单"));
}

void TestFJRightPanel::calendarPicksDate()
{
    FJRightPanel panel;
    panel.setSplitType(0);
    panel.resize(600, 800);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.searchTypeCombo->setCurrentIndex(1);
    QSignalSpy shown(panel.datePopup, &DatePopup::popupShown);
    panel.shotDateEdit->setFocus();
    QTest::keyClick(panel.shotDateEdit, Qt::Key_Space);
    QVERIFY(shown.wait(2000));
    QCalendarWidget *calendar = panel.datePopup->currentPopup();
    QVERIFY(calendar);
    QCOMPARE(calendar->size(), QSize(500, 500));
    const QDate day(2024, 3, 5);
    calendar->setSelectedDate(day);
    emit calendar->clicked(day);
    QCOMPARE(panel.shotDateEdit->date(), day);
    QSignalSpy asked(&panel, &FJRightPanel::searchRequested);
    panel.onSearchOrderClicked();
    QCOMPARE(asked.first().at(1).toString(), QStringLiteral("2024-03-05"));
}

void TestFJRightPanel::folderLabel_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("elided");
    QTest::newRow("short") << "/tmp/输出" << false;
    QTest::newRow("long") << "/mnt/studio-share/2024年/六月/婚纱客片/设计分件输出目录/第二批次/加急订单/最终版本/已核对" << true;
}

void TestFJRightPanel::folderLabel()
{
    QFETCH(QString, path);
    QFETCH(bool, elided);
    FJRightPanel panel;
    panel.setSplitType(0);
    panel.resize(420, 700);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    ModalBox::setFolderHook([path](QWidget *, const QString &) { return path; });
    QTest::mouseClick(panel.chooseDirectoryButton, Qt::LeftButton);
    QCOMPARE(panel.splitDirectory, path);
    QCOMPARE(g_splitDirectory, path);
    QCOMPARE(panel.directoryLabel->toolTip(), path);
    const QString text = panel.directoryLabel->text();
    if (!elided) {
        QCOMPARE(text, path);
    } else {
        QVERIFY(text.startsWith(QStringLiteral("...")));
        QVERIFY(path.endsWith(text.mid(3)));
        QVERIFY(QFontMetrics(panel.directoryLabel->font()).horizontalAdvance(text) <= panel.directoryLabel->width() - 20);
    }
    // A cancelled dialog keeps the folder.
    ModalBox::setFolderHook([](QWidget *, const QString &) { return QString(); });
    QTest::mouseClick(panel.chooseDirectoryButton, Qt::LeftButton);
    QCOMPARE(panel.splitDirectory, path);
}

void TestFJRightPanel::startNeedsFolder_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("button");
    QTest::newRow("design split") << 0 << QStringLiteral("开始分件");
    QTest::newRow("raw files") << 1 << QStringLiteral("开始下载");
    QTest::newRow("selection results") << 2 << QStringLiteral("开始分件");
    QTest::newRow("photo delivery") << 3 << QStringLiteral("开始分件");
}

// The warning names the start button as the window shows it.
void TestFJRightPanel::startNeedsFolder()
{
    QFETCH(int, type);
    QFETCH(QString, button);
    FJRightPanel panel;
    panel.setSplitType(type);
    QCOMPARE(panel.startButton->text(), button);
    int asked = 0;
    ModalBox::setFolderHook([&asked](QWidget *, const QString &) {
        ++asked;
        return QStringLiteral("/tmp/输出");
    });
    QSignalSpy start(&panel, &FJRightPanel::startProcessRequested);
    QTest::mouseClick(panel.startButton, Qt::LeftButton);
    QCOMPARE(s_boxes, QStringList{QStringLiteral("请选择分件目录后再点击%1按钮").arg(button)});
    QCOMPARE(asked, 1);
    QCOMPARE(start.size(), 0);
    QCOMPARE(panel.splitDirectory, QStringLiteral("/tmp/输出"));
    QTest::mouseClick(panel.startButton, Qt::LeftButton);
    QCOMPARE(start.size(), 1);
}

void TestFJRightPanel::ruleOfShops()
{
    FJRightPanel panel;
    panel.setSplitType(0);
    // The first shop's rule is there from the start.
    QCOMPARE(panel.namingRule(), parsed(kRuleA));
    QCOMPARE(panel.namingRuleEditor->ruleJson(), parsed(kRuleA));
    QSignalSpy changed(&panel, &FJRightPanel::shopChange);
    panel.shopCombo->setCurrentIndex(1);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(panel.shopId, QStringLiteral("12"));
    QCOMPARE(panel.namingRule(), parsed(kRuleB));
    panel.shopCombo->setCurrentIndex(2);
    QCOMPARE(panel.namingRule(), QJsonArray());
    QCOMPARE(panel.namingRuleEditor->ruleJson(), QJsonArray());
    panel.shopCombo->setCurrentIndex(0);
    QCOMPARE(panel.namingRule(), parsed(kRuleA));

    // Edits count only once saved; reset brings the stored rule back.
    panel.namingRuleEditor->setRule(parsed(kRuleB));
    QCOMPARE(panel.editedRule, parsed(kRuleB));
    QCOMPARE(panel.namingRule(), parsed(kRuleA));
    QTest::mouseClick(panel.resetRuleButton, Qt::LeftButton);
    QCOMPARE(panel.editedRule, parsed(kRuleA));
    QCOMPARE(panel.namingRuleEditor->ruleJson(), parsed(kRuleA));
}

void TestFJRightPanel::ruleLaidOutAtRealWidth()
{
    // The rule is loaded while the panel is still hidden and narrow.
    FJRightPanel panel;
    panel.setSplitType(0);
    panel.resize(700, 900);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    DropZone *zone = panel.namingRuleEditor->dropZone();
    QCOMPARE(zone->entries().size(), 3);
    // Once no chip move runs any more, the chips stand where they stay.
    QTRY_VERIFY(zone->findChildren<QParallelAnimationGroup *>().isEmpty());
    for (const auto &entry : zone->entries()) {
        QCOMPARE(entry.chip->y(), zone->entries().first().chip->y());
        QVERIFY(zone->rect().contains(entry.chip->geometry()));
    }
}

void TestFJRightPanel::saveRule()
{
    FJRightPanel panel;
    panel.setSplitType(0);
    panel.eid = QStringLiteral("7001");
    panel.superId = QStringLiteral("9001");
    panel.namingRuleEditor->setRule(parsed(kRuleB));
    panel.saveNamingRule();
    QTRY_COMPARE(panel.namingRule(), parsed(kRuleB));
    QVERIFY(panel.findChild<ToastWidget *>());
    const FakeOrderService::Request request = m_fake.requestsFor(kSave).first();
    QCOMPARE(request.field("goodsfoldernamerule"), QString::fromUtf8(QJsonDocument(parsed(kRuleB)).toJson(QJsonDocument::Compact)));
    QCOMPARE(request.field("shopid"), QStringLiteral("11"));
    QCOMPARE(request.field("personid"), QStringLiteral("7001"));
    QCOMPARE(g_shopList.first().goodsfoldernamerule, request.field("goodsfoldernamerule"));
    QCOMPARE(s_boxes, QStringList());

    // The next login's shop list carries the saved rule.
    QVERIFY(FJDriver::login(QStringLiteral("tester"), QStringLiteral("secret")));
    QCOMPARE(parsed(g_shopList.first().goodsfoldernamerule), parsed(kRuleB));

    // An empty rule is saved as an empty value.
    FJRightPanel again;
    again.setSplitType(0);
    again.namingRuleEditor->setRule(QJsonArray());
    again.saveNamingRule();
    QTRY_VERIFY(g_shopList.first().goodsfoldernamerule.isEmpty());
    QCOMPARE(m_fake.requestsFor(kSave).last().field("goodsfoldernamerule"), QString());
    QVERIFY(m_fake.requestsFor(kSave).last().hasField("goodsfoldernamerule"));
}

void TestFJRightPanel::saveAnswersSentShop()
{
    FJRightPanel panel;
    panel.setSplitType(0);
    m_fake.setFault(kSave, FakeOrderService::Fault::Delay, QString(), 300);
    panel.namingRuleEditor->setRule(parsed(kRuleB));
    panel.saveNamingRule();
    // Another shop is chosen before the answer comes.
    panel.shopCombo->setCurrentIndex(2);
    QTRY_COMPARE(g_shopList.at(0).goodsfoldernamerule,
                 QString::fromUtf8(QJsonDocument(parsed(kRuleB)).toJson(QJsonDocument::Compact)));
    QCOMPARE(g_shopList.at(2).goodsfoldernamerule, QStringLiteral("not json"));
    QCOMPARE(panel.namingRule(), QJsonArray());
    QCOMPARE(m_fake.modelStore().shop(QStringLiteral("11")).value(QStringLiteral("goodsfoldernamerule")).toString(),
             g_shopList.at(0).goodsfoldernamerule);
    panel.shopCombo->setCurrentIndex(0);
    QCOMPARE(panel.namingRule(), parsed(kRuleB));
}

void TestFJRightPanel::saveRefused_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("box");
    QTest::newRow("service says no in msg") << int(FakeOrderService::Fault::CodeZeroMsg) << "规则过长";
    QTest::newRow("service says no in message") << int(FakeOrderService::Fault::CodeZeroMessage) << "规则过长";
    QTest::newRow("connection lost") << int(FakeOrderService::Fault::CloseConnection) << "提交失败";
}

void TestFJRightPanel::saveRefused()
{
    QFETCH(int, fault);
    QFETCH(QString, box);
    FJRightPanel panel;
    panel.setSplitType(0);
    m_fake.setFault(kSave, FakeOrderService::Fault(fault), QStringLiteral("规则过长"));
    panel.namingRuleEditor->setRule(parsed(kRuleB));
    panel.saveNamingRule();
    QTRY_COMPARE(s_boxes, QStringList{box});
    QCOMPARE(panel.namingRule(), parsed(kRuleA));
    QCOMPARE(panel.editedRule, parsed(kRuleB));
    QCOMPARE(g_shopList.first().goodsfoldernamerule, kRuleA);
}

void TestFJRightPanel::imageLists()
{
    FJRightPanel panel;
    panel.setSplitType(1);
    QVERIFY(!panel.namingRuleEditor);
    QVERIFY(!panel.rawBox);
    QSignalSpy changed(&panel, &FJRightPanel::downAndUnDownImgSelectedChange);
    // Nothing shown yet: select-all still reports.
    panel.onUndownloadSelectAllClicked();
    QCOMPARE(changed.size(), 1);

    panel.currentRow = 3;
    panel.currentOrder.orderpayforkey = QStringLiteral("A1001");
    panel.currentOrder.servicetimes = QStringLiteral("2");
    panel.currentOrder.mname = QStringLiteral("张伟");
    panel.currentOrder.wname = QStringLiteral("李娜");
    panel.currentOrder.role1 = QStringLiteral("郑摄影");
    panel.currentOrder.undownloadedImages = {photo("a.CR2"), photo("b.CR2"), photo("c.CR2")};
    panel.currentOrder.downloadedImages = {photo("d.CR2")};
    panel.showOrderImages();
    QCOMPARE(panel.undownloadedTitle->text(), QStringLiteral("未下载:  (3张)  A1001-2  张伟  李娜  郑摄影"));
    QCOMPARE(panel.downloadedTitle->text(), QStringLiteral("已下载:  (1张)  A1001-2  张伟  李娜  郑摄影"));
    QCOMPARE(panel.undownloadedGrid->photoCount(), 3);

    emit panel.undownloadedGrid->selectionChanged(1, true);
    QVERIFY(panel.currentOrder.undownloadedImages.at(1).selected);
    emit panel.undownloadedGrid->selectionChanged(7, true); // outside the list
    QCOMPARE(changed.size(), 2);
    panel.onDownloadedSelectAllClicked();
    QVERIFY(panel.currentOrder.downloadedImages.first().selected);
    panel.onUndownloadSelectAllClicked();
    panel.onUndownloadClearAllClicked();
    for (const ThumbnailPhoto &p : panel.currentOrder.undownloadedImages)
        QVERIFY(!p.selected);
    QVERIFY(panel.currentOrder.downloadedImages.first().selected);

    panel.clearCurrentOrder();
    QCOMPARE(panel.currentRow, -1);
    QCOMPARE(panel.undownloadedGrid->photoCount(), 0);
    QCOMPARE(panel.downloadedGrid->photoCount(), 0);
}

void TestFJRightPanel::deliveryBoxes()
{
    FJRightPanel panel;
    panel.setSplitType(3);
    QCOMPARE(panel.startButton->text(), QStringLiteral("开始分件"));
    const QList<QCheckBox *> boxes{panel.rawBox, panel.originalBox, panel.simpleRetouchBox,
                                   panel.simpleRetouchRejectsBox, panel.fineRetouchBox};
    QStringList texts;
    for (QCheckBox *box : boxes) {
        texts << box->text() + (box->isChecked() ? QStringLiteral("*") : QString());
        QVERIFY(box->isEnabled());
    }
    QCOMPARE(texts, (QStringList{"原始档", "原图", "简修", "简修含汰片", "精修*"}));
    panel.setControlsEnabled(false);
    for (QCheckBox *box : boxes)
        QVERIFY(!box->isEnabled());
    panel.setControlsEnabled(true);
    for (QCheckBox *box : boxes)
        QVERIFY(box->isEnabled());
}

QTEST_MAIN(TestFJRightPanel)
#include "tst_fjrightpanel.moc"
