#include <memory>

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QTest>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/k.h"
#include "batchdelete/batchlogindialog.h"
#include "public/glasswidgets.h"
#include "public/fullscreenloading.h"
#include "public/popupsurface.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/login/loginfixture.h"
#include "tests/public/widgetrender.h"
#include "tests/support/widgetprobe.h"

namespace {

const QString kLogin = QStringLiteral("&m=public&a=dologin");
// A password with blanks around it and the characters that break a form.
const QString kPassword = QStringLiteral("  p&a+s=s%1 密 ");

struct Answer
{
    int calls = 0;
    bool ok = false;
    QString account;
    QString password;
};

// The dialog's parts, found the way a user sees them.
struct DialogForm
{
    explicit DialogForm(BatchLoginDialog *dialog)
    {
        const auto edits = dialog->findChildren<GlassLineEdit *>();
        for (GlassLineEdit *edit : edits) {
            if (edit->placeholderText() == QStringLiteral("账号"))
                account = edit;
            else if (edit->placeholderText() == QStringLiteral("密码"))
                password = edit;
        }
        const auto buttons = dialog->findChildren<QPushButton *>();
        for (QPushButton *button : buttons) {
            if (button->text() == QStringLiteral("登录"))
                login = button;
            else if (button->text() == QStringLiteral("取消"))
                cancel = button;
        }
    }
    bool complete() const { return account && password && login && cancel; }

    GlassLineEdit *account = nullptr;
    GlassLineEdit *password = nullptr;
    QPushButton *login = nullptr;
    QPushButton *cancel = nullptr;
};

void pressKey(QWidget *widget, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

} // namespace

// The account re-verification dialog against the in-process order service.
class TestBatchLoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void endings_data();
    void endings();
    void refusalKeepsDialogOpen();
    void otherAccountIsRefused();
    void networkFailureGivesButtonBack_data();
    void networkFailureGivesButtonBack();
    void oneRequestAtATime();
    void cancelWhileVerifying();
    void lateReplyAfterOverlayWentAway();
    void dialogClosedUnderRefusalBox();
    void accountField_data();
    void accountField();
    void noRememberedAccount();
    void emptyCallbackStillWorks();
    void centring();
    void renderDialog();
    void surfaceWithAndWithoutCompositing_data();
    void surfaceWithAndWithoutCompositing();
    void textsReadableAndPlaceholdersDim();

private:
    BatchLoginDialog *openDialog(QWidget *parent, Answer *answer);
    void typePassword(BatchLoginDialog *dialog, const QString &password);

    std::unique_ptr<BoxRecorder> m_boxes{new BoxRecorder};
    FakeOrderService m_fake;
    QTemporaryDir m_dataDir;
    QWidget *m_owner = nullptr;
};

void TestBatchLoginDialog::initTestCase()
{
    useOwnConfigFolder();
    QVERIFY(credentialsPath().contains(QStringLiteral(".qttest")));
    QVERIFY(m_dataDir.isValid());
    g_dataDir = m_dataDir.path() + QStringLiteral("/");
    QVERIFY(m_fake.start(FakeOrderService::Mode::Http));
    g_indexUrl = m_fake.indexUrl();
    BaseReq::setTransferTimeout(2000);
}

void TestBatchLoginDialog::init()
{
    m_boxes->boxes.clear();
    m_fake.clearRequests();
    m_fake.clearFaults();
    m_fake.clearHandlers();
    m_fake.loadModel(FakeModel::testData());
    // A case that points the program elsewhere may have ended early.
    g_indexUrl = m_fake.indexUrl();
    m_fake.modelStore().append(QStringLiteral("accounts"),
                               QJsonObject{{QStringLiteral("username"), QStringLiteral("blank")},
                                           {QStringLiteral("password"), kPassword},
                                           {QStringLiteral("UID"), QStringLiteral("502")},
                                           {QStringLiteral("SUPERID"), QStringLiteral("9001")},
                                           {QStringLiteral("EID"), QStringLiteral("7001")},
                                           {QStringLiteral("shops"), QJsonArray{QStringLiteral("11")}}});
    // The session of the account the dialog confirms.
    g_userId = QStringLiteral("501");
    g_superId = QStringLiteral("9001");
    QVERIFY(writeCredentials("username=tester\npassword=c2VjcmV0\nremember=1\n"));
    m_owner = new QWidget;
    m_owner->setGeometry(100, 80, 900, 700);
    m_owner->show();
}

void TestBatchLoginDialog::cleanup()
{
    PopupSurface::setTranslucencyOverride(-1);
    delete m_owner;
    m_owner = nullptr;
    for (BatchLoginDialog *dialog : WidgetProbe::topLevels<BatchLoginDialog>())
        delete dialog;
    removeCredentials();
}

void TestBatchLoginDialog::cleanupTestCase()
{
    removeConfigFolder();
}

BatchLoginDialog *TestBatchLoginDialog::openDialog(QWidget *parent, Answer *answer)
{
    const auto before = WidgetProbe::topLevels<BatchLoginDialog>();
    BatchLoginDialog::verify(parent, [answer](bool ok, const QString &account, const QString &password) {
        ++answer->calls;
        answer->ok = ok;
        answer->account = account;
        answer->password = password;
    });
    for (BatchLoginDialog *dialog : WidgetProbe::topLevels<BatchLoginDialog>()) {
        if (!before.contains(dialog))
            return dialog;
    }
    return nullptr;
}

void TestBatchLoginDialog::typePassword(BatchLoginDialog *dialog, const QString &password)
{
    DialogForm form(dialog);
    form.password->clear();
    for (const QChar c : password)
        QTest::sendKeyEvent(QTest::Click, form.password, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void TestBatchLoginDialog::endings_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("ok");

    QTest::newRow("login button") << "button" << true;
    QTest::newRow("return key") << "return" << true;
    QTest::newRow("enter key") << "enter" << true;
    QTest::newRow("cancel button") << "cancel" << false;
    QTest::newRow("escape") << "escape" << false;
}

void TestBatchLoginDialog::endings()
{
    QFETCH(QString, how);
    QFETCH(bool, ok);

    // Blanks around the account in the file are trimmed; the password is
    // sent and reported exactly as typed.
    QVERIFY(writeCredentials("username= blank \nremember=0\n"));
    g_userId = QStringLiteral("502");
    const QByteArray fileBefore = readCredentials();

    Answer answer;
    QPointer<BatchLoginDialog> dialog = openDialog(m_owner, &answer);
    QVERIFY(dialog);
    QVERIFY(dialog->isModal());
    QVERIFY(dialog->isVisible());
    DialogForm form(dialog);
    QVERIFY(form.complete());
    QCOMPARE(form.account->text(), QStringLiteral(" blank "));
    QVERIFY(!form.account->isEnabled());
    QCOMPARE(form.password->echoMode(), QLineEdit::Password);
    QVERIFY(!form.login->isEnabled());
    typePassword(dialog, kPassword);
    QVERIFY(form.login->isEnabled());

    if (how == QLatin1String("button"))
        QTest::mouseClick(form.login, Qt::LeftButton);
    else if (how == QLatin1String("return"))
        pressKey(dialog, Qt::Key_Return);
    else if (how == QLatin1String("enter"))
        pressKey(dialog, Qt::Key_Enter);
    else if (how == QLatin1String("cancel"))
        QTest::mouseClick(form.cancel, Qt::LeftButton);
    else
        pressKey(dialog, Qt::Key_Escape);

    QTRY_COMPARE_WITH_TIMEOUT(answer.calls, 1, 5000);
    QCOMPARE(answer.ok, ok);
    QCOMPARE(answer.account, ok ? QStringLiteral("blank") : QString());
    QCOMPARE(answer.password, ok ? kPassword : QString());
    // Closed and deleted either way.
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 3000);

    const auto requests = m_fake.requestsFor(kLogin);
    QCOMPARE(requests.size(), ok ? 1 : 0);
    if (ok) {
        QCOMPARE(requests.first().field(QStringLiteral("username")), QStringLiteral("blank"));
        QCOMPARE(requests.first().field(QStringLiteral("password")), kPassword);
        QVERIFY(requests.first().body.startsWith("username=blank&password=  p%26a%2Bs%3Ds%251 "));
    }
    QVERIFY(m_boxes->boxes.isEmpty());
    // Nothing of the session changed, nothing written.
    QCOMPARE(g_userId, QStringLiteral("502"));
    QCOMPARE(g_superId, QStringLiteral("9001"));
    QVERIFY(!QFile::exists(g_dataDir + QStringLiteral("loginData")));
    QCOMPARE(readCredentials(), fileBefore);
    QCOMPARE(answer.calls, 1);
}

void TestBatchLoginDialog::refusalKeepsDialogOpen()
{
    Answer answer;
    QPointer<BatchLoginDialog> dialog = openDialog(m_owner, &answer);
    DialogForm form(dialog);
    typePassword(dialog, QStringLiteral("wrong"));
    QTest::mouseClick(form.login, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes->boxes.size(), 1, 5000);
    QCOMPARE(m_boxes->boxes.first().title, QStringLiteral("温馨提示"));
    QCOMPARE(m_boxes->boxes.first().text, QStringLiteral("账号或密码错误"));
    QCOMPARE(m_boxes->boxes.first().icon, QMessageBox::Warning);

    // Still open with what was typed; no answer; the overlay is gone.
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(answer.calls, 0);
    QCOMPARE(form.password->text(), QStringLiteral("wrong"));
    QTRY_VERIFY_WITH_TIMEOUT(!FullScreenLoading::instance(dialog), 3000);
    QVERIFY(form.login->isEnabled());

    // A second try is a new request.
    typePassword(dialog, QStringLiteral("secret"));
    QTest::mouseClick(form.login, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(answer.calls, 1, 5000);
    QVERIFY(answer.ok);
    QCOMPARE(answer.password, QStringLiteral("secret"));
    QCOMPARE(m_fake.requestsFor(kLogin).size(), 2);
}

void TestBatchLoginDialog::otherAccountIsRefused()
{
    // The remembered file now names another account of the service (written
    // by a second instance): its password is right, but it is not the
    // account of this session.
    QVERIFY(writeCredentials("username=blank\nremember=0\n"));
    Answer answer;
    QPointer<BatchLoginDialog> dialog = openDialog(m_owner, &answer);
    typePassword(dialog, kPassword);
    pressKey(dialog, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes->texts(), QStringList{QStringLiteral("账号不一致")}, 5000);
    QCOMPARE(m_fake.requestsFor(kLogin).size(), 1);
    QCOMPARE(answer.calls, 0);
    QVERIFY(dialog && dialog->isVisible());

    // A reply without "UID" is no confirmation either.
    m_fake.setHandler(kLogin, [](const FakeOrderService::Request &) {
        return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")}};
    });
    pressKey(dialog, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes->boxes.size(), 2, 5000);
    QCOMPARE(m_boxes->boxes.last().text, QStringLiteral("账号不一致"));
    QCOMPARE(answer.calls, 0);
}

void TestBatchLoginDialog::networkFailureGivesButtonBack_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("http 500") << int(FakeOrderService::Fault::Http500);
    QTest::newRow("not json") << int(FakeOrderService::Fault::InvalidJson);
    QTest::newRow("connection closed") << int(FakeOrderService::Fault::CloseConnection);
    // Nothing listens where the service should be.
    QTest::newRow("connection refused") << -1;
}

void TestBatchLoginDialog::networkFailureGivesButtonBack()
{
    QFETCH(int, fault);
    QTcpServer closed;
    if (fault < 0) {
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        g_indexUrl = QStringLiteral("http://127.0.0.1:%1/index.php?").arg(port);
    } else {
        m_fake.setFault(kLogin, FakeOrderService::Fault(fault));
    }

    Answer answer;
    QPointer<BatchLoginDialog> dialog = openDialog(m_owner, &answer);
    DialogForm form(dialog);
    typePassword(dialog, QStringLiteral("secret"));
    QTest::mouseClick(form.login, Qt::LeftButton);
    QVERIFY(!form.login->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(WidgetProbe::toastTexts(dialog), QStringList{QStringLiteral("验证失败!")}, 5000);
    QVERIFY(form.login->isEnabled());
    QVERIFY(m_boxes->boxes.isEmpty());
    QCOMPARE(answer.calls, 0);
    QVERIFY(dialog->isVisible());

    m_fake.clearFaults();
    g_indexUrl = m_fake.indexUrl();
    QTest::mouseClick(form.login, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(answer.calls, 1, 5000);
    QVERIFY(answer.ok);
}

void TestBatchLoginDialog::oneRequestAtATime()
{
    m_fake.setFault(kLogin, FakeOrderService::Fault::Delay, QString(), 600);
    Answer answer;
    QPointer<BatchLoginDialog> dialog = openDialog(m_owner, &answer);
    DialogForm form(dialog);
    typePassword(dialog, QStringLiteral("secret"));

    QSignalSpy received(&m_fake, &FakeOrderService::requestReceived);
    pressKey(dialog, Qt::Key_Return);
    pressKey(dialog, Qt::Key_Return);
    QVERIFY(dialog->isVerifying());
    QVERIFY(!form.login->isEnabled());
    QTest::mouseClick(form.login, Qt::LeftButton);
    dialog->handleOk();
    QTRY_COMPARE_WITH_TIMEOUT(answer.calls, 1, 5000);
    QVERIFY(answer.ok);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 3000);
    QCOMPARE(m_fake.requestsFor(kLogin).size(), 1);
    QCOMPARE(received.count(), 1);
}

void TestBatchLoginDialog::cancelWhileVerifying()
{
    m_fake.setFault(kLogin, FakeOrderService::Fault::Delay, QString(), 500);
    Answer answer;
    QPointer<BatchLoginDialog> dialog = openDialog(m_owner, &answer);
    typePassword(dialog, QStringLiteral("secret"));
    QSignalSpy received(&m_fake, &FakeOrderService::requestReceived);
    pressKey(dialog, Qt::Key_Return);
    QVERIFY(received.wait(3000));
    pressKey(dialog, Qt::Key_Escape);
    QCOMPARE(answer.calls, 1);
    QVERIFY(!answer.ok);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 3000);
    // The reply that comes later is not handled by anyone: a second request
    // with the same delay, sent after it, is answered after it.
    BaseReq barrier;
    bool barrierDone = false;
    barrier.post(kLogin, "username=tester&password=secret",
                 [&barrierDone](bool, const QJsonDocument &) { barrierDone = true; });
    QTRY_VERIFY_WITH_TIMEOUT(barrierDone, 5000);
    QCOMPARE(answer.calls, 1);
    QVERIFY(m_boxes->boxes.isEmpty());
}

void TestBatchLoginDialog::lateReplyAfterOverlayWentAway()
{
    m_fake.setFault(kLogin, FakeOrderService::Fault::Delay, QString(), 500);
    Answer answer;
    QPointer<BatchLoginDialog> dialog = openDialog(m_owner, &answer);
    typePassword(dialog, QStringLiteral("secret"));
    pressKey(dialog, Qt::Key_Return);
    // Someone closes the overlay while the check is out: it deletes itself.
    QPointer<FullScreenLoading> overlay = FullScreenLoading::instance(dialog);
    QVERIFY(overlay);
    overlay->closeOverlay();
    QTRY_VERIFY_WITH_TIMEOUT(overlay.isNull(), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(answer.calls, 1, 5000);
    QVERIFY(answer.ok);
}

void TestBatchLoginDialog::dialogClosedUnderRefusalBox()
{
    Answer answer;
    QPointer<BatchLoginDialog> dialog = openDialog(m_owner, &answer);
    typePassword(dialog, QStringLiteral("wrong"));
    // While the refusal box is open, the dialog goes (its owner window
    // closes it for good).
    int shown = 0;
    ModalBox::setHook([&shown](QDialog *box) {
        ++shown;
        delete box->parentWidget();
        return int(QMessageBox::Ok);
    });
    pressKey(dialog, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 5000);
    m_boxes.reset();
    m_boxes.reset(new BoxRecorder);
    QCOMPARE(shown, 1);
    QCOMPARE(answer.calls, 0);
}

void TestBatchLoginDialog::accountField_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("account");

    QTest::newRow("last username line wins") << QByteArray("username=first\nremember=0\nusername=second\n") << "second";
    QTest::newRow("other letter case does not match") << QByteArray("Username=upper\nusername=lower\nUSERNAME=x\n")
                                                      << "lower";
    QTest::newRow("trailing blank kept in the field") << QByteArray("username=tester \n") << "tester ";
    QTest::newRow("CR LF line ends") << QByteArray("username=tester\r\nremember=1\r\n") << "tester";
    QTest::newRow("empty value") << QByteArray("username=\n") << "";
}

void TestBatchLoginDialog::accountField()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, account);

    QVERIFY(writeCredentials(content));
    Answer answer;
    BatchLoginDialog *dialog = openDialog(m_owner, &answer);
    QCOMPARE(DialogForm(dialog).account->text(), account);
    QCOMPARE(dialog->username(), account.trimmed());
}

void TestBatchLoginDialog::noRememberedAccount()
{
    removeCredentials();
    Answer answer;
    QPointer<BatchLoginDialog> dialog = openDialog(m_owner, &answer);
    DialogForm form(dialog);
    QVERIFY(form.account->text().isEmpty());
    typePassword(dialog, QStringLiteral("secret"));
    // Without an account the button never enables and Return sends nothing.
    QVERIFY(!form.login->isEnabled());
    pressKey(dialog, Qt::Key_Return);
    pressKey(dialog, Qt::Key_Enter);
    QVERIFY(dialog);
    QVERIFY(!dialog->isVerifying());
    QCOMPARE(m_fake.requests().size(), 0);
    pressKey(dialog, Qt::Key_Escape);
    QCOMPARE(answer.calls, 1);
    QVERIFY(!answer.ok);
}

void TestBatchLoginDialog::emptyCallbackStillWorks()
{
    BatchLoginDialog::verify(m_owner, nullptr);
    const auto dialogs = WidgetProbe::topLevels<BatchLoginDialog>();
    QCOMPARE(dialogs.size(), 1);
    QPointer<BatchLoginDialog> dialog = dialogs.first();
    typePassword(dialog, QStringLiteral("secret"));
    pressKey(dialog, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 5000);
    QCOMPARE(m_fake.requestsFor(kLogin).size(), 1);
}

void TestBatchLoginDialog::centring()
{
    Answer answer;
    BatchLoginDialog *over = openDialog(m_owner, &answer);
    const QRect owner = m_owner->geometry();
    QCOMPARE(over->pos(), QPoint((owner.left() + owner.right()) / 2 - (over->width() - 1) / 2,
                                 (owner.top() + owner.bottom()) / 2 - (over->height() - 1) / 2));

    BatchLoginDialog *alone = openDialog(nullptr, &answer);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(alone->pos(), QPoint((screen.left() + screen.right()) / 2 - (alone->width() - 1) / 2,
                                  (screen.top() + screen.bottom()) / 2 - (alone->height() - 1) / 2));
    QVERIFY(alone->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(alone->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(alone->testAttribute(Qt::WA_TranslucentBackground));
    delete alone;
}

void TestBatchLoginDialog::renderDialog()
{
    Answer answer;
    BatchLoginDialog *dialog = openDialog(m_owner, &answer);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QTRY_COMPARE_WITH_TIMEOUT(dialog->windowOpacity(), 1.0, 2000);
    K *k = K::instance();
    QCOMPARE(dialog->size(), QSize(k->scale(280), k->scale(220)));
    const QImage empty = renderWidget(dialog, QStringLiteral("batchlogindialog"));

    // Outside the card: transparent; in the card's middle: the light panel.
    QCOMPARE(qAlpha(empty.pixel(0, empty.height() / 2)), 0);
    const QRgb panel = empty.pixel(k->scale(14), empty.height() / 2);
    QVERIFY2(closeTo(panel, QColor(250, 250, 252), 8) && qAlpha(panel) > 200, qPrintable(QColor(panel).name()));

    // The disabled login button: a pale blue; once a password is typed it
    // turns to the full blue gradient.
    DialogForm form(dialog);
    // Left of the caption, half way down.
    const QPoint middle = form.login->mapTo(dialog, QPoint(6, form.login->height() / 2));
    const QRgb disabled = empty.pixel(middle);
    typePassword(dialog, QStringLiteral("secret"));
    const QImage filled = renderWidget(dialog, QStringLiteral("batchlogindialog_filled"));
    const QRgb enabled = filled.pixel(middle);
    QVERIFY2(qBlue(enabled) > 200 && qRed(enabled) < 80, qPrintable(QColor(enabled).name()));
    QVERIFY2(qRed(disabled) > qRed(enabled) + 60, qPrintable(QColor(disabled).name()));
}

void TestBatchLoginDialog::surfaceWithAndWithoutCompositing_data()
{
    QTest::addColumn<int>("translucency");
    QTest::newRow("compositing window system") << 1;
    QTest::newRow("X11 without compositing manager") << 0;
}

// Where a translucent window is not shown as painted, its see-through
// shadow margin came out black around the card: the card is then an
// opaque window cut to its shape, with an edge of its own.
void TestBatchLoginDialog::surfaceWithAndWithoutCompositing()
{
    QFETCH(int, translucency);
    PopupSurface::setTranslucencyOverride(translucency);
    Answer answer;
    BatchLoginDialog *dialog = openDialog(m_owner, &answer);
    PopupSurface::setTranslucencyOverride(-1);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    const int m = K::instance()->scale(10);
    const int middle = dialog->height() / 2;
    if (translucency == 1) {
        QVERIFY(dialog->testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(dialog->mask().isEmpty());
        return;
    }
    QVERIFY(!dialog->testAttribute(Qt::WA_TranslucentBackground));
    const QRegion mask = dialog->mask();
    QVERIFY(!mask.contains(QPoint(m / 2, middle)));
    QVERIFY(!mask.contains(QPoint(m + 1, m)));
    QVERIFY(!mask.contains(QPoint(dialog->width() - m - 2, dialog->height() - m - 1)));
    QVERIFY(mask.contains(QPoint(m + 1, middle)));
    QVERIFY(mask.contains(QPoint(dialog->width() / 2, middle)));
    const QImage card = dialog->grab().toImage();
    const QRgb edge = card.pixel(m, middle);
    QVERIFY2(qGray(edge) < 225, qPrintable(QColor(edge).name()));
    const QRgb inside = card.pixel(m + 4, middle);
    QVERIFY2(qGray(inside) > 240, qPrintable(QColor(inside).name()));
}

// The captions were some eight pixels high, and the empty password field
// showed its placeholder in the colour of typed text.
void TestBatchLoginDialog::textsReadableAndPlaceholdersDim()
{
    Answer answer;
    BatchLoginDialog *dialog = openDialog(m_owner, &answer);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    const QList<QWidget *> texts = {dialog->findChild<QLabel *>(), DialogForm(dialog).login,
                                    DialogForm(dialog).cancel};
    for (QWidget *widget : texts) {
        QVERIFY(widget);
        QVERIFY2(QFontInfo(widget->font()).pixelSize() >= 11,
                 qPrintable(QStringLiteral("%1: %2 px").arg(widget->metaObject()->className()).arg(QFontInfo(widget->font()).pixelSize())));
    }
    const QList<GlassLineEdit *> fields = dialog->findChildren<GlassLineEdit *>();
    QCOMPARE(fields.size(), 2);
    for (GlassLineEdit *field : fields) {
        const QColor text = field->palette().color(QPalette::Text);
        const QColor placeholder = field->palette().color(QPalette::PlaceholderText);
        QVERIFY2(placeholder.lightness() > text.lightness() + 60,
                 qPrintable(QStringLiteral("%1: %2 on %3").arg(field->placeholderText(), placeholder.name(), text.name())));
    }
}

QTEST_MAIN(TestBatchLoginDialog)
#include "tst_batchlogindialog.moc"
