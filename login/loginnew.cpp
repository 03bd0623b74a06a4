#include "login/loginnew.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonValue>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPixmap>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include "base/cardpainter.h"
#include "base/fileops.h"
#include "base/globals.h"
#include "base/k.h"
#include "base/logincredentials.h"
#include "base/macwindowmanager.h"
#include "base/orderservice.h"
#include "base/placeholdercolour.h"
#include "base/windowplacement.h"
#include "choosetools/choosetools.h"
#include "login/customcheckboxnew.h"
#include "login/loginkeys.h"
#include "public/loginwarning.h"
#include "public/theme.h"
#include "public/windowdrag.h"

Q_LOGGING_CATEGORY(lcLogin, "velquora.login")

namespace {

const char kWindowStyle[] =
    "QWidget {"
    "    background: transparent;"
    "}"
    "QPushButton#minimizeButton, QPushButton#closeButton {"
    "    background: transparent;"
    "    border: none;"
    "    color: rgba(255, 255, 255, 0.8);"
    "    font-weight: bold;"
    "    font-size: %1px;"
    "}"
    "QPushButton#minimizeButton:hover, QPushButton#closeButton:hover {"
    "    color: white;"
    "    background: rgba(255, 255, 255, 0.1);"
    "    border-radius: %2px;"
    "}"
    "QLabel#sloganLabel {"
    "    color: rgba(255, 255, 255, 0.9);"
    "    font-size: %3px;"
    "}"
    "QLineEdit#inputField {"
    "    background: rgba(60, 70, 90, 0.8);"
    "    border: 1px solid rgba(100, 110, 130, 0.5);"
    "    border-radius: %4px;"
    "    padding: 0 %5px;"
    "    color: white;"
    "    font-size: %6px;"
    "}"
    "QLineEdit#inputField:focus {"
    "    border: 1px solid rgba(41, 128, 255, 0.8);"
    "    background: rgba(70, 80, 100, 0.9);"
    "}"
    "QPushButton#loginButton {"
    "    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @loginBlue, stop:1 @loginBlueBottom);"
    "    border: none;"
    "    border-radius: %7px;"
    "    color: white;"
    "    font-weight: bold;"
    "    font-size: %8px;"
    "}"
    "QPushButton#loginButton:hover {"
    "    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @loginBlueHover, stop:1 @loginBlueHoverBottom);"
    "}"
    "QPushButton#loginButton:pressed {"
    "    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @loginBluePressed, stop:1 @loginBluePressedBottom);"
    "}"
    "QLabel#techSupportLabel {"
    "    color: rgba(160, 170, 190, 0.8);"
    "    font-size: %9px;"
    "}"
    "QLabel#versionLabel {"
    "    color: rgba(160, 170, 190, 0.8);"
    "    font-size: %10px;"
    "}";

} // namespace

LoginNew::LoginNew(QWidget *parent)
    : QWidget(parent)
{
    K *k = K::instance();
    setupUi();
    applyStyleSheet();

    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);

    resize(k->scale(551), k->scale(381));
    // The form needs more height than the nominal card: centred with the
    // nominal size it sat below the centre, its bottom off a small screen.
    WindowPlacement::growToLayout(this);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        WindowPlacement::centreWithin(this, QRect(QPoint(0, 0), screen->geometry().size()));

    m_accountEdit->installEventFilter(this);
    m_passwordEdit->installEventFilter(this);
    new WindowDrag(this);
    // Dimmer than typed text, so an empty field does not look filled in.
    keepPlaceholderColour(m_accountEdit, QColor(180, 190, 210, 204));
    keepPlaceholderColour(m_passwordEdit, QColor(180, 190, 210, 204));

    startFadeIn();

    connect(MacWindowManager::instance(), &MacWindowManager::windowRestored, this, [this](QWidget *window) {
        if (window == this)
            qCDebug(lcLogin) << "LoginNew: 收到窗口恢复信号";
    });

    loadCredentials();
}

LoginNew::~LoginNew()
{
    MacWindowManager::releaseWindow(this);
}

void LoginNew::setupUi()
{
    K *k = K::instance();

    m_accountEdit = createInputField(QStringLiteral("请输入账号"), false);
    m_passwordEdit = createInputField(QStringLiteral("请输入密码"), true);

    m_loginButton = new QPushButton(QStringLiteral("登录"), this);
    m_loginButton->setObjectName(QStringLiteral("loginButton"));
    m_loginButton->setFixedHeight(k->scale(45));
    connect(m_loginButton, &QPushButton::clicked, this, &LoginNew::onLoginClicked);

    m_closeButton = new QPushButton(QStringLiteral("×"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setFixedSize(k->scale(21), k->scale(21));
    connect(m_closeButton, &QPushButton::clicked, this, &LoginNew::onCloseClicked);

    m_minimizeButton = new QPushButton(QStringLiteral("−"), this);
    m_minimizeButton->setObjectName(QStringLiteral("minimizeButton"));
    m_minimizeButton->setFixedSize(k->scale(21), k->scale(21));
    connect(m_minimizeButton, &QPushButton::clicked, this, &LoginNew::onMinimizeClicked);

    m_logoLabel = new QLabel(this);
    m_logoLabel->setObjectName(QStringLiteral("logoLabel"));
    m_logoLabel->setPixmap(QPixmap(QStringLiteral(":/login/image/login/logo1.png")));
    m_logoLabel->setFixedSize(k->scale(210), k->scale(75));
    m_logoLabel->setAlignment(Qt::AlignCenter);
    m_logoLabel->setScaledContents(true);

    m_versionLabel = new QLabel(QStringLiteral("版本号:") + g_version, this);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    m_versionLabel->setAlignment(Qt::AlignCenter);

    m_rememberBox = new CustomCheckBoxNew(QStringLiteral("记住密码"), this);
    m_rememberBox->setObjectName(QStringLiteral("rememberPasswordBox"));
    m_rememberBox->setFixedHeight(k->scale(21));
    m_rememberBox->setFixedWidth(k->scale(100));
    m_rememberBox->setCursor(Qt::PointingHandCursor);

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(k->scale(40), k->scale(30), k->scale(40), k->scale(30));
    mainLayout->setSpacing(0);

    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(0, 0, 0, 0);
    auto *titleFiller = new QLabel(this);
    titleFiller->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    titleRow->addWidget(titleFiller);
    titleRow->addWidget(m_minimizeButton);
    titleRow->addSpacing(k->scale(6));
    titleRow->addWidget(m_closeButton);
    mainLayout->addLayout(titleRow);

    mainLayout->addSpacing(k->scale(40));

    auto *logoRow = new QHBoxLayout;
    logoRow->setContentsMargins(0, 0, 0, 0);
    logoRow->addStretch();
    logoRow->addWidget(m_logoLabel);
    logoRow->addStretch();
    mainLayout->addLayout(logoRow);

    mainLayout->addSpacing(k->scale(21));
    mainLayout->addSpacing(k->scale(40));

    auto *form = new QVBoxLayout;
    form->setSpacing(k->scale(21));
    form->addWidget(m_accountEdit);
    form->addWidget(m_passwordEdit);
    auto *rememberRow = new QHBoxLayout;
    rememberRow->setContentsMargins(0, 0, 0, 0);
    rememberRow->addWidget(m_rememberBox);
    rememberRow->addStretch();
    form->addLayout(rememberRow);
    mainLayout->addLayout(form);

    mainLayout->addSpacing(k->scale(30));
    mainLayout->addWidget(m_loginButton);
    mainLayout->addStretch();
    mainLayout->addWidget(m_versionLabel);
    mainLayout->addSpacing(k->scale(21));
}

QLineEdit *LoginNew::createInputField(const QString &placeholder, bool isPassword)
{
    auto *field = new QLineEdit(this);
    field->setPlaceholderText(placeholder);
    field->setFixedHeight(K::instance()->scale(45));
    field->setObjectName(QStringLiteral("inputField"));
    field->setStyleSheet(QStringLiteral("   font-size:") + K::instance()->scaleText(15) + QStringLiteral("px;"));
    if (isPassword)
        field->setEchoMode(QLineEdit::Password);
    connect(field, &QLineEdit::textChanged, this, &LoginNew::onInputFocused);
    return field;
}

void LoginNew::applyStyleSheet()
{
    K *k = K::instance();
    setStyleSheet(Theme::sheet(QString::fromUtf8(kWindowStyle))
                      .arg(k->scale(18))
                      .arg(k->scale(10))
                      .arg(k->scale(16))
                      .arg(k->scale(6))
                      .arg(k->scale(15))
                      .arg(k->scale(15))
                      .arg(k->scale(6))
                      .arg(k->scale(16))
                      .arg(k->scale(12))
                      .arg(k->scale(12)));
}

void LoginNew::startFadeIn()
{
    // A child of the window, so it goes with it; the window keeps it for a
    // later replay.
    m_fadeInAnimation = new QPropertyAnimation(this, "windowOpacity", this);
    m_fadeInAnimation->setDuration(300);
    m_fadeInAnimation->setStartValue(0.0);
    m_fadeInAnimation->setEndValue(1.0);
    m_fadeInAnimation->setEasingCurve(QEasingCurve::OutCubic);
    m_fadeInAnimation->start();
}

void LoginNew::replayFadeIn()
{
    if (m_fadeInAnimation)
        m_fadeInAnimation->start();
}

void LoginNew::restoreTransparency()
{
    MacWindowManager::restoreWindowTransparency(this);
}

void LoginNew::onLoginClicked()
{
    if (m_busy)
        return;

    const QString account = m_accountEdit->text().trimmed();
    const QString password = m_passwordEdit->text().trimmed();
    if (account.isEmpty()) {
        qCDebug(lcLogin) << "请输入账号";
        showWarning(QStringLiteral("请输入账号"));
        return;
    }
    if (password.isEmpty()) {
        qCDebug(lcLogin) << "请输入密码";
        showWarning(QStringLiteral("请输入密码"));
        return;
    }

    if (m_rememberBox->isChecked())
        saveCredentials();

    m_busy = true;

    OrderService::send(this, OrderService::Action::Login, OrderService::loginBody(account, password),
                       [this](bool ok, const QJsonDocument &reply) { onLoginReply(ok, reply); });
}

void LoginNew::onLoginReply(bool ok, const QJsonDocument &reply)
{
    if (!ok) {
        qCWarning(lcLogin) << "登录请求失败：网络错误或应答不是 JSON 对象";
        showWarning(QStringLiteral("网络连接失败，请稍后重试"));
        m_busy = false;
        return;
    }

    QJsonObject loginData = reply.object();
    const OrderService::Answer answer = OrderService::check(loginData, OrderService::TextField::MessageOrMsg);
    // What is saved and handed on is the reply's data, without its code.
    const QJsonValue codeValue = loginData.take(QStringLiteral("code"));

    if (!answer.ok) {
        QString message;
        if (answer.codeIsText) {
            message = answer.messageOr(QStringLiteral("登录失败，请稍后重试"));
        } else {
            // Without a text code the reply is not a refusal the service
            // explained: its message may well read "登录成功".
            qCWarning(lcLogin) << "登录应答的 code 不是文本:" << codeValue;
            message = QStringLiteral("登录失败：服务器返回的登录结果无法识别，请联系管理员");
        }
        qCDebug(lcLogin) << "登录被拒绝:" << message;
        showWarning(message);
        m_busy = false;
        return;
    }

    K *k = K::instance();
    m_loginButton->setText(QStringLiteral("✓ 登录成功"));
    m_loginButton->setStyleSheet(Theme::sheet(QStringLiteral("background: @loginDone !important; font-size: ") + k->scaleText(13)
                                              + QStringLiteral("px;")));

    k->saveLoginData(loginData);

    setAccountValues(loginData);

    saveCredentials();

    qCDebug(lcLogin) << "登录成功，门店数:" << g_shopList.size();

    // The window is the timer's context: a window gone within the second
    // cancels the step instead of running it on a dead object.
    QTimer::singleShot(1000, this, [this, loginData]() { openToolChooser(loginData); });
}

void LoginNew::openToolChooser(const QJsonObject &loginData)
{
    // The chooser opens at once; the login window fades out meanwhile and
    // is then closed (hidden, not deleted).
    fadeOutAndClose();
    auto *chooser = new ChooseTools(nullptr);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->loginData = loginData;
    chooser->show();
    emit loginFinished(loginData);
}

void LoginNew::fadeOutAndClose()
{
    auto *fadeOut = new QPropertyAnimation(this, "windowOpacity", this);
    fadeOut->setDuration(500);
    fadeOut->setStartValue(1.0);
    fadeOut->setEndValue(0.0);
    fadeOut->setEasingCurve(QEasingCurve::InCubic);
    connect(fadeOut, &QPropertyAnimation::finished, this, [this, fadeOut]() {
        close();
        fadeOut->deleteLater();
    });
    fadeOut->start();
}

void LoginNew::showWarning(const QString &text)
{
    showLoginWarning(this, text);
}

void LoginNew::onCloseClicked()
{
    QCoreApplication::quit();
}

void LoginNew::onMinimizeClicked()
{
    qCDebug(lcLogin) << "最小化窗口";
    if (!MacWindowManager::minimizeWindow(this)) {
        qCDebug(lcLogin) << "最小化失败，尝试Qt默认方法";
        setWindowState(Qt::WindowMinimized);
    }
}

void LoginNew::onInputFocused()
{
}

void LoginNew::onInputUnfocused()
{
}

bool LoginNew::eventFilter(QObject *watched, QEvent *event)
{
    return QObject::eventFilter(watched, event);
}

void LoginNew::keyPressEvent(QKeyEvent *event)
{
    if (!LoginKeys::pressOnEnter(this, event, m_loginButton))
        QWidget::keyPressEvent(event);
}

void LoginNew::paintEvent(QPaintEvent *event)
{
    CardPainter::paintCard(this, true);
    QWidget::paintEvent(event);
}

void LoginNew::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const Qt::WindowStates oldState = static_cast<QWindowStateChangeEvent *>(event)->oldState();
    const Qt::WindowStates newState = windowState();
    qCDebug(lcLogin) << "窗口状态变化: 从" << oldState << "到" << newState;
    if ((oldState & Qt::WindowMinimized) && !(newState & Qt::WindowMinimized))
        qCDebug(lcLogin) << "从最小化恢复";
}

void LoginNew::saveCredentials()
{
    const QString path = LoginCredentials::filePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray content =
        LoginCredentials::fileContent(m_accountEdit->text(), m_passwordEdit->text(), m_rememberBox->isChecked());
    // The file may hold the password: only its owner may read it, and a
    // failed write leaves the previous file whole.
    QString error;
    if (!FileOps::writeAtomically(path, content, true, &error))
        qCWarning(lcLogin) << "无法保存登录信息:" << path << error;
}

void LoginNew::loadCredentials()
{
    LoginCredentials::Credentials credentials;
    if (!LoginCredentials::readFile(&credentials))
        return;
    m_accountEdit->setText(credentials.username);
    if (credentials.remember) {
        m_passwordEdit->setText(credentials.password);
        m_rememberBox->setChecked(true);
    }
}
