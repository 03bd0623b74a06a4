#include "batchdelete/batchlogindialog.h"

#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QVBoxLayout>

#include "base/globals.h"
#include "base/k.h"
#include "base/logincredentials.h"
#include "base/orderservice.h"
#include "public/glasswidgets.h"
#include "public/loginwarning.h"
#include "public/fullscreenloading.h"
#include "public/popupsurface.h"
#include "public/theme.h"
#include "public/toastwidget.h"

Q_LOGGING_CATEGORY(lcVerify, "velquora.login.verify")

namespace {

int s(int px)
{
    return K::instance()->scale(px);
}

QString st(int px)
{
    return K::instance()->scaleText(px);
}

} // namespace

BatchLoginDialog::BatchLoginDialog(QWidget *parent)
    : QDialog(parent)
{
    setupUI();
}

BatchLoginDialog::~BatchLoginDialog() = default;

void BatchLoginDialog::verify(QWidget *parent, Callback callback)
{
    auto *dialog = new BatchLoginDialog(parent);
    if (callback)
        dialog->callback = std::move(callback);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

QString BatchLoginDialog::username() const
{
    return accountEdit ? accountEdit->text().trimmed() : QString();
}

QString BatchLoginDialog::password() const
{
    return passwordEdit ? passwordEdit->text() : QString();
}

void BatchLoginDialog::setCallback(Callback cb)
{
    callback = std::move(cb);
}

void BatchLoginDialog::setupUI()
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // A glass card with a soft shadow where the window system shows a
    // translucent window; elsewhere (X11 without a compositing manager) the
    // see-through margin would be drawn black, so the card is an opaque
    // window cut to its rounded shape.
    PopupSurface::prepare(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    setFixedSize(s(280), s(220));
    PopupSurface::updateMask(this, panelRect(), panelRadius());

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(s(28), s(24), s(28), s(20));
    mainLayout->setSpacing(0);

    titleLabel = new QLabel(QStringLiteral("账号验证"), this);
    titleLabel->setAlignment(Qt::AlignCenter);
    QFont titleFont;
    titleFont.setPointSize(s(8));
    titleFont.setWeight(63);
    titleLabel->setFont(titleFont);
    titleLabel->setStyleSheet(Theme::sheet(QStringLiteral("color: @textDark; background: transparent; margin-bottom: 6px;")));

    auto *formLayout = new QVBoxLayout;
    formLayout->setContentsMargins(0, s(14), 0, 0);
    formLayout->setSpacing(s(10));

    const QString editStyle =
        Theme::sheet(QStringLiteral("QLineEdit {     background: transparent;     border: none;     border-radius: %1px;"
                                    "     padding: %2px %3px %2px %4px;     font-size: %5px;     color: @textDark;"
                                    "     selection-background-color: rgba(0, 122, 255, 0.25); }"
                                    " QLineEdit::placeholder { color: @textMuted; }"))
            .arg(st(8), st(9), st(10), st(32), st(13));

    const auto makeRow = [this, &editStyle](const QString &placeholder, int iconKind, GlassLineEdit **edit) {
        auto *row = new QWidget(this);
        row->setFixedHeight(s(40));
        row->setStyleSheet(QStringLiteral("background: transparent;"));
        auto *field = new GlassLineEdit(row);
        field->setFrame(false);
        field->setPlaceholderText(placeholder);
        field->setStyleSheet(editStyle);
        field->setGeometry(0, 0, s(224), s(40));
        auto *icon = new GlassIconWidget(iconKind, row);
        icon->setAttribute(Qt::WA_TranslucentBackground);
        icon->setFixedSize(s(16), s(16));
        icon->move(s(10), s(12));
        icon->raise();
        *edit = field;
        return row;
    };
    QWidget *accountRow = makeRow(QStringLiteral("账号"), 0, &accountEdit);
    accountEdit->setEnabled(false);
    QWidget *passwordRow = makeRow(QStringLiteral("密码"), 1, &passwordEdit);
    passwordEdit->setEchoMode(QLineEdit::Password);
    formLayout->addWidget(accountRow);
    formLayout->addWidget(passwordRow);
    connect(accountEdit, &QLineEdit::textChanged, this, &BatchLoginDialog::onInputChanged);
    connect(passwordEdit, &QLineEdit::textChanged, this, &BatchLoginDialog::onInputChanged);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(0, s(16), 0, 0);
    buttonRow->setSpacing(s(10));
    // As large as the title: at five points (scaled) the captions were
    // some eight pixels high and could hardly be read.
    QFont buttonFont;
    buttonFont.setPointSize(s(8));
    buttonFont.setWeight(57);

    cancelButton = new QPushButton(QStringLiteral("取消"), this);
    loginButton = new QPushButton(QStringLiteral("登录"), this);
    for (QPushButton *button : {cancelButton, loginButton}) {
        button->setFixedHeight(s(32));
        button->setCursor(Qt::PointingHandCursor);
        button->setFont(buttonFont);
        // Return is handled by the dialog itself, never by a default button.
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    cancelButton->setStyleSheet(Theme::sheet(
        QStringLiteral("QPushButton { background: rgba(255, 255, 255, 0.7); border: 1px solid rgba(0, 0, 0, 0.1);"
                       " border-radius: %1px; color: @textDark; }"
                       "QPushButton:hover { background: rgba(255, 255, 255, 0.9); }"
                       "QPushButton:pressed { background: rgba(220, 220, 225, 0.9); }")
            .arg(st(8))));
    loginButton->setStyleSheet(Theme::sheet(
        QStringLiteral("QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @signInTop, stop:1 @accent);"
                       " border: none; border-radius: %1px; color: @textOnColour; font-weight: 500; }"
                       "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @signInHoverTop,"
                       " stop:1 @accentHoverTop); }"
                       "QPushButton:pressed { background: @accentShade; }"
                       "QPushButton:disabled { background: rgba(0, 122, 255, 0.35); color: rgba(255, 255, 255, 0.6); }")
            .arg(st(8))));
    loginButton->setEnabled(false);
    connect(cancelButton, &QPushButton::clicked, this, &BatchLoginDialog::handleCancel);
    connect(loginButton, &QPushButton::clicked, this, &BatchLoginDialog::handleOk);
    buttonRow->addWidget(cancelButton, 1);
    buttonRow->addWidget(loginButton, 1);

    mainLayout->addWidget(titleLabel);
    mainLayout->addLayout(formLayout);
    mainLayout->addStretch();
    mainLayout->addLayout(buttonRow);

    passwordEdit->setFocus(Qt::OtherFocusReason);
    loadSavedUsername();
}

void BatchLoginDialog::loadSavedUsername()
{
    // The account of the remembered-login file, by the login window's own
    // reading rules (the last "username=" line wins).
    LoginCredentials::Credentials saved;
    if (!LoginCredentials::readFile(&saved))
        return;
    accountEdit->setText(saved.username);
}

void BatchLoginDialog::onInputChanged()
{
    loginButton->setEnabled(!busy && !accountEdit->text().trimmed().isEmpty() && !passwordEdit->text().isEmpty());
}

void BatchLoginDialog::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (loginButton->isEnabled())
            handleOk();
        event->accept();
        return;
    case Qt::Key_Escape:
        handleCancel();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void BatchLoginDialog::handleCancel()
{
    // A check still on its way goes with the dialog: its request is a child.
    if (callback)
        callback(false, QString(), QString());
    reject();
}

void BatchLoginDialog::handleOk()
{
    if (busy)
        return;
    busy = true;
    loginButton->setEnabled(false);
    overlay = FullScreenLoading::showLoading(this, QStringLiteral("验证中..."), false);

    OrderService::send(this, OrderService::Action::Login, OrderService::loginBody(username(), password()),
                       [this](bool ok, const QJsonDocument &reply) { onReply(ok, reply); });
}

void BatchLoginDialog::finishWaiting()
{
    if (overlay)
        overlay->closeOverlay();
    overlay = nullptr;
    busy = false;
    onInputChanged();
}

void BatchLoginDialog::refuse(const QString &text)
{
    if (overlay)
        overlay->closeOverlay();
    overlay = nullptr;
    // Still busy while the box is open, so Return and the button send
    // nothing; the box may outlive the dialog when it is closed meanwhile.
    QPointer<BatchLoginDialog> self(this);
    showLoginWarning(this, text);
    if (self)
        finishWaiting();
}

void BatchLoginDialog::onReply(bool ok, const QJsonDocument &reply)
{
    if (!ok) {
        qCWarning(lcVerify) << "账号验证请求失败：网络错误或应答不是 JSON 对象";
        finishWaiting();
        ToastWidget::showToast(this, QStringLiteral("验证失败!"), 2000);
        return;
    }

    const QJsonObject object = reply.object();
    const OrderService::Answer answer = OrderService::check(object);
    if (!answer.ok) {
        qCDebug(lcVerify) << "账号验证被拒绝:" << answer.message;
        refuse(answer.messageOr(QStringLiteral("验证失败!")));
        return;
    }

    // The password must belong to the account of this session: the file the
    // account field comes from may have been rewritten by another instance.
    const QString uid = object.value(QStringLiteral("UID")).toString();
    if (g_userId.isEmpty() || uid != g_userId) {
        qCWarning(lcVerify) << "账号验证的账号与当前登录账号不一致";
        refuse(QStringLiteral("账号不一致"));
        return;
    }

    finishWaiting();
    QPointer<BatchLoginDialog> self(this);
    if (callback)
        callback(true, username(), password());
    if (self)
        accept();
}

void BatchLoginDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);

    const auto centreOn = [this](const QRect &area) {
        move((area.left() + area.right()) / 2 - (width() - 1) / 2, (area.top() + area.bottom()) / 2 - (height() - 1) / 2);
    };
    if (QWidget *owner = parentWidget())
        centreOn(owner->geometry());
    else if (QScreen *screen = QGuiApplication::primaryScreen())
        centreOn(screen->availableGeometry());

    setWindowOpacity(0.0);
    // A child of the dialog: a dialog closed during the fade takes it along.
    auto *fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(180);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(QEasingCurve::OutCubic);
    fade->start(QAbstractAnimation::DeleteWhenStopped);

    raise();
    activateWindow();
}

QRectF BatchLoginDialog::panelRect() const
{
    const int m = s(10);
    return QRectF(m, m - 2, width() - 2 * m, height() - 2 * m + 2);
}

qreal BatchLoginDialog::panelRadius() const
{
    return s(14);
}

void BatchLoginDialog::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int m = s(10);
    const qreal radius = panelRadius();
    const int w = width();
    const int h = height();
    const bool translucent = testAttribute(Qt::WA_TranslucentBackground);

    if (translucent && m >= 1) {
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < m; ++i) {
            const qreal t = qreal(i) / m;
            painter.setBrush(QColor(0, 0, 0, static_cast<int>(15 * t * t)));
            painter.drawRoundedRect(QRectF(i, i - 1, w - 2 * i, h + 3 - 2 * i), radius + 0.3 * i, radius + 0.3 * i);
        }
    }

    QPainterPath panel;
    const QRectF panelRect = this->panelRect();
    panel.addRoundedRect(panelRect, radius, radius);
    QLinearGradient gradient(m, m - 2, m, h - 1 - m);
    gradient.setColorAt(0, QColor(252, 252, 254, 245));
    gradient.setColorAt(1, QColor(248, 248, 250, 240));
    painter.fillPath(panel, gradient);

    // A faint grain over the panel. A fixed seed draws the same grain on
    // every repaint, so the card does not shimmer.
    painter.save();
    painter.setClipPath(panel);
    painter.setOpacity(0.015);
    QRandomGenerator grain(20240518u);
    const int spanX = qMax(1, w - 2 * m);
    const int spanY = qMax(1, h - 2 * m + 2);
    for (int i = 0; i < 400; ++i) {
        const int x = m + static_cast<int>(grain.bounded(spanX));
        const int y = (m - 2) + static_cast<int>(grain.bounded(spanY));
        painter.fillRect(QRect(x, y, 1, 1), Qt::black);
    }
    painter.restore();

    painter.setBrush(Qt::NoBrush);
    if (translucent) {
        painter.setPen(QPen(QColor(0, 0, 0, 12), 0.5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter.drawRoundedRect(panelRect, radius, radius);
    } else {
        // Without the shadow the faint outline would leave the card without
        // an edge over a white window: a visible one, inside the cut.
        painter.setPen(QPen(Theme::glassFrame.color(), 1.0));
        painter.drawRoundedRect(panelRect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    }

    painter.setPen(QPen(QColor(255, 255, 255, 180), 1.0));
    painter.drawRoundedRect(QRectF(m + 1, m - 1, w - 2 * m - 2, h - 2 * m), radius - 1, radius - 1);
}
