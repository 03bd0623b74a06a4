#include "login/login.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QVBoxLayout>

#include "base/fileops.h"
#include "base/globals.h"
#include "base/k.h"
#include "base/logincredentials.h"
#include "base/orderservice.h"
#include "base/placeholdercolour.h"
#include "base/windowplacement.h"
#include "login/loginkeys.h"
#include "public/loginwarning.h"
#include "public/theme.h"
#include "public/windowdrag.h"
#include "transferphotos/tfhome.h"

Q_LOGGING_CATEGORY(lcOldLogin, "velquora.login.older")

namespace {

// The obfuscation key of the password line. Changing it makes every stored
// password unreadable.
const QByteArray kKey = QByteArrayLiteral("Vq7tK2pL9xR4mZ8sB3");

const char kRestoredButtonStyle[] =
    " QPushButton:hover {   background: @accentHover; } QPushButton:pressed {   background: @loginPressed; }"
    " QPushButton:disabled {   background: @loginMuted;   color: rgba(255, 255, 255, 0.8); }";

QString s_configFolder;

// This window's sizes use the scale factor as it is, without the 1.2 step
// of K::scale.
int sz(double px)
{
    return static_cast<int>(px * g_uiScale);
}

QString num(double px)
{
    return QString::number(px * g_uiScale, 'g', 6);
}

} // namespace

CustomCheckBox::~CustomCheckBox() = default;

void CustomCheckBox::paintEvent(QPaintEvent *event)
{
    QCheckBox::paintEvent(event);
    if (!isChecked())
        return;
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect indicator = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    const int cx = indicator.left() + indicator.width() / 2;
    const int cy = indicator.top() + indicator.height() / 2;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 3.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.drawLine(QPoint(cx - 6, cy), QPoint(cx - 2, cy + 4));
    painter.drawLine(QPoint(cx - 2, cy + 4), QPoint(cx + 6, cy - 4));
}

Login::Login(QWidget *parent)
    : QWidget(parent)
{
    setupForm();
    setupUI();
    applyStyles();

    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    resize(sz(250), sz(300));
    // Centred with the size the form really needs, not the nominal card.
    WindowPlacement::growToLayout(this);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        WindowPlacement::centreWithin(this, QRect(QPoint(0, 0), screen->geometry().size()));

    accountField->installEventFilter(this);
    passwordField->installEventFilter(this);
    new WindowDrag(this);
    setupAnimations();
    loadCredentials();
}

Login::~Login()
{
    // A field that has the focus loses it while the window's base class is
    // torn down, and its editingFinished would reach a half-destroyed Login.
    for (QLineEdit *field : {accountField, passwordField}) {
        if (field)
            disconnect(field, nullptr, this, nullptr);
    }
}

void Login::setupForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("Login"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("Form"));
}

void Login::setupUI()
{
    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(30, 25, 30, 30);
    mainLayout->setSpacing(0);

    auto *topRow = new QHBoxLayout;
    topRow->setContentsMargins(0, 0, 0, 0);
    auto *filler = new QLabel(this);
    filler->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    topRow->addWidget(filler);
    closeButton = new QPushButton(QStringLiteral("×"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setFixedSize(sz(15), sz(15));
    connect(closeButton, &QPushButton::clicked, this, &Login::onCloseClicked);
    topRow->addWidget(closeButton);
    mainLayout->addLayout(topRow);
    mainLayout->addSpacing(20);

    auto *logoRow = new QHBoxLayout;
    logoRow->setContentsMargins(0, 0, 0, 0);
    logoLabel = new QLabel(this);
    logoLabel->setObjectName(QStringLiteral("logoLabel"));
    logoLabel->setAlignment(Qt::AlignCenter);
    logoLabel->setFixedSize(sz(40), sz(40));
    logoLabel->setScaledContents(true);
    const QPixmap logo(QStringLiteral(":/login/image/login/logo.png"));
    if (logo.isNull()) {
        logoLabel->setText(QStringLiteral("Trelvan"));
        logoLabel->setStyleSheet(Theme::sheet(QStringLiteral("background: rgba(255, 255, 255, 0.9); color: @textDark; border-radius: ")
                                              + num(30) + QStringLiteral("px; font-size: ") + num(20)
                                              + QStringLiteral("px; font-weight: bold; border: 1px solid rgba(0, 0, 0, 0.06);")));
    } else {
        logoLabel->setPixmap(logo);
    }
    logoRow->addStretch();
    logoRow->addWidget(logoLabel);
    logoRow->addStretch();
    mainLayout->addLayout(logoRow);
    mainLayout->addSpacing(15);

    auto *softwareLabel = new QLabel(QStringLiteral("Trelvan软件"), this);
    softwareLabel->setObjectName(QStringLiteral("softwareLabel"));
    softwareLabel->setAlignment(Qt::AlignCenter);
    mainLayout->addWidget(softwareLabel);
    mainLayout->addSpacing(sz(25));

    auto *fields = new QVBoxLayout;
    fields->setSpacing(sz(10));
    accountField = createInputField(QStringLiteral("账号"), false);
    passwordField = createInputField(QStringLiteral("密码"), true);
    rememberBox = new CustomCheckBox(QStringLiteral("记住密码"), this);
    rememberBox->setObjectName(QStringLiteral("rememberPasswordBox"));
    rememberBox->setFixedHeight(sz(15));
    rememberBox->setCursor(Qt::PointingHandCursor);
    rememberBox->setEnabled(true);
    rememberBox->setCheckable(true);
    rememberBox->setFocusPolicy(Qt::StrongFocus);
    fields->addWidget(accountField);
    fields->addWidget(passwordField);
    fields->addWidget(rememberBox);
    mainLayout->addLayout(fields);
    mainLayout->addSpacing(sz(30));

    connect(rememberBox, &QCheckBox::stateChanged, rememberBox, [this](int) { rememberBox->update(); });
    connect(rememberBox, &QCheckBox::stateChanged, this, [](int state) {
        qCDebug(lcOldLogin) << "记住密码状态改变:" << state;
        // Unticking forgets the account at once, before any login.
        if (state == Qt::Unchecked)
            QFile::remove(configFilePath());
    });
    connect(rememberBox, &QCheckBox::clicked, this,
            [](bool checked) { qCDebug(lcOldLogin) << "记住密码被点击:" << (checked ? "true" : "false"); });

    loginButton = new QPushButton(QStringLiteral("登录"), this);
    loginButton->setObjectName(QStringLiteral("loginButton"));
    loginButton->setFixedHeight(sz(25));
    connect(loginButton, &QPushButton::clicked, this, &Login::onLoginClicked);
    mainLayout->addWidget(loginButton);
    mainLayout->addSpacing(10);

    auto *versionLabel = new QLabel(QStringLiteral("版本号:") + g_version, this);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    versionLabel->setAlignment(Qt::AlignCenter);
    mainLayout->addWidget(versionLabel);
    mainLayout->addSpacing(sz(20));
    mainLayout->addStretch();
}

QLineEdit *Login::createInputField(const QString &placeholder, bool isPassword)
{
    auto *field = new QLineEdit(this);
    field->setPlaceholderText(placeholder);
    field->setFixedHeight(sz(30));
    field->setObjectName(QStringLiteral("inputField"));
    // Grey, not the typed text's near-black: an empty field looks empty.
    keepPlaceholderColour(field, Theme::loginMuted.color());
    if (isPassword)
        field->setEchoMode(QLineEdit::Password);
    connectInputField(field);
    return field;
}

void Login::connectInputField(QLineEdit *field)
{
    connect(field, &QLineEdit::textChanged, field, [field](const QString &text) {
        // The style follows the property only once the widget is polished again.
        field->setProperty("hasText", !text.isEmpty());
        field->style()->unpolish(field);
        field->style()->polish(field);
    });
    connect(field, &QLineEdit::editingFinished, this, &Login::onInputUnfocused);
}

void Login::applyStyles()
{
    QString sheet;
    sheet += QStringLiteral("Login { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgba(255, 255, 255, 0.95),"
                            " stop:1 rgba(250, 250, 252, 0.92)); border-radius: %1px;"
                            " border: 1px solid rgba(0, 0, 0, 0.06); }")
                 .arg(num(16));
    sheet += QStringLiteral("#closeButton { background: @loginClose; border: none; border-radius: %1px; color: white;"
                            " font-size: %2px; font-weight: 300; }"
                            "#closeButton:hover { background: @loginCloseHover; }"
                            "#closeButton:pressed { background: @loginClosePressed; }")
                 .arg(num(5), num(13));
    sheet += QStringLiteral("#logoLabel { border-radius: %1; border: 1px solid rgba(0, 0, 0, 0.06);"
                            " background: rgba(255, 255, 255, 0.8); }")
                 .arg(num(15));
    sheet += QStringLiteral("#softwareLabel { font-size: %1px; font-weight: 600; color: @textDark; letter-spacing: -1px; }")
                 .arg(num(12));
    sheet += QStringLiteral("#versionLabel { font-size: %1px; font-weight: 400; color: @loginMuted; letter-spacing: 0px; }")
                 .arg(num(8));
    sheet += QStringLiteral("#titleLabel { font-size: %1px; font-weight: 500; color: @textDark; margin: 20px 0px;"
                            " letter-spacing: -0.5px; }")
                 .arg(num(20));
    sheet += QStringLiteral("#inputField { border: 2px solid rgba(0, 0, 0, 0.1); border-radius: %1px; padding: 0 %2px;"
                            " font-size: %3px; background: rgba(255, 255, 255, 0.8); color: @textDark;"
                            " selection-background-color: rgba(0, 122, 255, 0.2); font-weight: 400; }"
                            "#inputField:focus { border: 2px solid @accent; background: rgba(255, 255, 255, 1); outline: none; }"
                            "#inputField:hover { border: 2px solid rgba(0, 122, 255, 0.3); background: rgba(255, 255, 255, 0.9); }"
                            "#inputField::placeholder { color: @loginMuted; font-style: normal; }")
                 .arg(num(9), num(12), num(12));
    sheet += QStringLiteral("#loginButton { background: @accent; border: none; border-radius: %1px; color: white;"
                            " font-size: %2px; font-weight: 600; letter-spacing: -0.5px; }"
                            "#loginButton:hover { background: @accentHover; }"
                            "#loginButton:pressed { background: @loginPressed; }"
                            "#loginButton:disabled { background: @loginMuted; color: rgba(255, 255, 255, 0.8); }")
                 .arg(num(8), num(13));
    sheet += QStringLiteral("QCheckBox#rememberPasswordBox { font-size: %1px; color: @textDark; font-weight: 400; spacing: 12px;"
                            " outline: none; }"
                            "QCheckBox#rememberPasswordBox::indicator { width: %2px; height: %2px; border-radius: 6px;"
                            " border: 2px solid @loginMuted; background: white; }"
                            "QCheckBox#rememberPasswordBox::indicator:hover { border: 2px solid @accent; }"
                            "QCheckBox#rememberPasswordBox::indicator:checked { background: @accent; border: 2px solid @accent; }"
                            "QCheckBox#rememberPasswordBox::indicator:checked:hover { background: @accentHover;"
                            " border: 2px solid @accentHover; }")
                 .arg(num(12), num(12));
    setStyleSheet(Theme::sheet(sheet));
}

void Login::setupAnimations()
{
    fadeAnimation = new QPropertyAnimation(this, "windowOpacity", this);
    fadeAnimation->setDuration(500);
    fadeAnimation->setStartValue(0.0);
    fadeAnimation->setEndValue(1.0);
    fadeAnimation->setEasingCurve(QEasingCurve::OutQuart);
}

void Login::startEntranceAnimation()
{
    setWindowOpacity(0.0);
    logoLabel->hide();
    accountField->hide();
    passwordField->hide();
    loginButton->hide();
    fadeAnimation->start();

    const auto reveal = [this](QWidget *widget, int delay, int duration) {
        // The window is the context: a window closed meanwhile runs nothing.
        QTimer::singleShot(delay, this, [widget, duration]() {
            widget->show();
            auto *animation = new QPropertyAnimation(widget, "windowOpacity");
            animation->setDuration(duration);
            animation->setStartValue(0.0);
            animation->setEndValue(1.0);
            animation->setEasingCurve(QEasingCurve::OutQuad);
            animation->start(QAbstractAnimation::DeleteWhenStopped);
        });
    };
    reveal(logoLabel, 200, 400);
    reveal(accountField, 400, 300);
    reveal(passwordField, 500, 300);
    reveal(loginButton, 750, 300);
}

void Login::onLoginClicked()
{
    const QString account = accountField->text();
    const QString password = passwordField->text();
    if (account.isEmpty() || password.isEmpty()) {
        loginButton->setText(QStringLiteral("请填写完整信息"));
        loginButton->setStyleSheet(Theme::sheet(QStringLiteral("background: @loginRefused !important;")));
        QTimer::singleShot(2000, this, [this]() {
            loginButton->setText(QStringLiteral("登录"));
            loginButton->setStyleSheet(Theme::sheet(QString::fromLatin1(kRestoredButtonStyle)));
        });
        return;
    }

    loginButton->setText(QStringLiteral("登录中..."));
    loginButton->setEnabled(false);
    loginButton->setStyleSheet(loginButton->styleSheet() + Theme::sheet(QStringLiteral("background: @loginBusy !important;")));

    OrderService::send(this, OrderService::Action::Login, OrderService::loginBody(account, password),
                       [this](bool ok, const QJsonDocument &reply) { onLoginReply(ok, reply); });
}

void Login::restoreLoginButton()
{
    loginButton->setText(QStringLiteral("登录"));
    loginButton->setEnabled(true);
    loginButton->setStyleSheet(Theme::sheet(QString::fromLatin1(kRestoredButtonStyle)));
}

void Login::onLoginReply(bool ok, const QJsonDocument &reply)
{
    if (!ok) {
        qCWarning(lcOldLogin) << "登录请求失败：网络错误或应答不是 JSON 对象";
        restoreLoginButton();
        showLoginWarning(this, QStringLiteral("网络连接失败，请稍后重试"));
        return;
    }

    QJsonObject object = reply.object();
    const OrderService::Answer answer = OrderService::check(object);
    // The window that opens keeps the reply's data, without its code.
    object.remove(QStringLiteral("code"));
    if (!answer.ok) {
        restoreLoginButton();
        showLoginWarning(this, answer.message);
        return;
    }

    qCDebug(lcOldLogin) << "登录成功，门店数:" << object.value(QStringLiteral("shop_data")).toArray().size();
    loginButton->setText(QStringLiteral("✓ 登录成功"));
    loginButton->setStyleSheet(Theme::sheet(QStringLiteral("background: @loginDone !important; ")));
    setAccountValues(object);
    if (rememberBox->isChecked())
        saveCredentials();

    QTimer::singleShot(1000, this, [this, object]() { openPhotoTransfer(object); });
}

void Login::openPhotoTransfer(const QJsonObject &loginData)
{
    auto *fadeOut = new QPropertyAnimation(this, "windowOpacity");
    fadeOut->setDuration(500);
    fadeOut->setStartValue(1.0);
    fadeOut->setEndValue(0.0);
    fadeOut->setEasingCurve(QEasingCurve::InCubic);
    connect(fadeOut, &QPropertyAnimation::finished, this, [this, fadeOut]() {
        close();
        fadeOut->deleteLater();
    });
    fadeOut->start();

    auto *window = new tfhome(nullptr);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->loginData = loginData;
    window->showMaximized();
}

void Login::onCloseClicked()
{
    close();
}

void Login::onInputFocused()
{
}

void Login::onInputUnfocused()
{
}

QString Login::configFilePath()
{
    const QString folder = s_configFolder.isEmpty() ? QCoreApplication::applicationDirPath() : s_configFolder;
    return folder + QStringLiteral("/login_config.txt");
}

void Login::setConfigFolder(const QString &folder)
{
    s_configFolder = folder;
}

QString Login::encryptPassword(const QString &password)
{
    QByteArray bytes = password.toUtf8();
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(bytes.at(i) ^ kKey.at(i % kKey.size()));
    return QString::fromLatin1(bytes.toBase64());
}

QString Login::decryptPassword(const QString &encrypted)
{
    QByteArray bytes = QByteArray::fromBase64(encrypted.toUtf8());
    if (bytes.isNull())
        return QString();
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(bytes.at(i) ^ kKey.at(i % kKey.size()));
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return QString::fromUtf8(bytes);
}

void Login::saveCredentials()
{
    const QString path = configFilePath();
    // The obfuscation is no protection: only the owner may read the file,
    // and a failed write leaves the previous one whole.
    QString error;
    // Saved only with "remember" ticked, so the password line is always there.
    const QByteArray content = LoginCredentials::fileContent(accountField->text(), passwordField->text(),
                                                                rememberBox->isChecked(), &Login::encryptPassword);
    if (!FileOps::writeAtomically(path, content, true, &error))
        qCWarning(lcOldLogin) << "无法保存登录信息:" << path << error;
}

void Login::loadCredentials()
{
    // Same keys and reading rules as the current login window's file; only
    // the password's encoding differs.
    LoginCredentials::Credentials saved;
    if (!LoginCredentials::readFile(&saved, configFilePath(), &Login::decryptPassword))
        return;
    if (!saved.username.isEmpty())
        accountField->setText(saved.username);
    if (!saved.password.isEmpty())
        passwordField->setText(saved.password);
    if (saved.remember)
        rememberBox->setChecked(true);
}

bool Login::eventFilter(QObject *watched, QEvent *event)
{
    return QWidget::eventFilter(watched, event);
}

void Login::keyPressEvent(QKeyEvent *event)
{
    if (!LoginKeys::pressOnEnter(this, event, loginButton))
        QWidget::keyPressEvent(event);
}

void Login::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const int w = width();
        const int h = height();

        painter.setPen(Qt::NoPen);
        for (int i = 7; i >= 0; --i) {
            painter.setBrush(QColor(0, 0, 0, i >= 4 ? 1 : 2));
            painter.drawRoundedRect(QRectF(3 - i, 6 - i, w + 2 * i - 6, h + 2 * i - 6), i + 32, i + 32);
        }

        QLinearGradient card(0, 0, 0, h);
        card.setColorAt(0, QColor(255, 255, 255, 252));
        card.setColorAt(0.5, QColor(250, 250, 252, 248));
        card.setColorAt(1, QColor(245, 245, 247, 245));
        painter.setBrush(card);
        painter.setPen(QPen(QColor(0, 0, 0, 8), 1.0));
        painter.drawRoundedRect(QRectF(3, 3, w - 6, h - 6), 32, 32);

        QLinearGradient highlight(0, 0, 0, 40);
        highlight.setColorAt(0, QColor(255, 255, 255, 40));
        highlight.setColorAt(1, QColor(255, 255, 255, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(highlight);
        painter.drawRoundedRect(QRectF(4, 4, w - 8, 40), 31, 31);
    }
    QWidget::paintEvent(event);
}
