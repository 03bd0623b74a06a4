#include "public/simpledialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "base/k.h"
#include "public/popupsurface.h"
#include "public/theme.h"

namespace {

// The buttons' text at the size of the message text: at 4 or 5 points
// "确定" and "取消" could not be read.
QFont readableButtonFont(QFont font)
{
    font.setPixelSize(K::instance()->scale(12));
    font.setWeight(QFont::Medium);
    return font;
}

struct KindLook
{
    const char *symbol;
    QString badge;
    QString badgeBackground;
    QString ok;
    QString okHover;
    QString okPressed;
    bool cancelVisible;
};

KindLook kindLook(int kind)
{
    switch (kind) {
    case 0:
        return {"i", Theme::dialogInfo.name(), Theme::dialogInfoTint.name(), Theme::dialogInfo.name(),
                Theme::dialogInfoHover.name(), Theme::dialogInfoPressed.name(), false};
    case 1:
        return {"!", Theme::dialogWarning.name(), Theme::dialogWarningTint.name(), Theme::dialogWarning.name(),
                Theme::dialogWarningHover.name(), Theme::dialogWarningPressed.name(), false};
    case 2:
        return {"\xc3\x97", Theme::dialogError.name(), Theme::dialogErrorTint.name(), Theme::dialogError.name(),
                Theme::dialogErrorHover.name(), Theme::dialogErrorPressed.name(), false};
    case 3:
        return {"?", Theme::dialogQuestion.name(), Theme::dialogQuestionTint.name(), Theme::dialogQuestion.name(),
                Theme::dialogQuestionHover.name(), Theme::dialogQuestionPressed.name(), true};
    default:
        return {"", QString(), QString(), QString(), QString(), QString(), true};
    }
}

} // namespace

SimpleDialog::SimpleDialog(QWidget *parent)
    : QDialog(parent)
{
    buildUi();
}

SimpleDialog::~SimpleDialog() = default;

void SimpleDialog::buildUi()
{
    K *k = K::instance();
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    PopupSurface::prepare(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    setMinimumSize(k->scale(320), k->scale(160));
    setMaximumWidth(k->scale(450));

    auto *mainLayout = new QVBoxLayout(this);
    const int margin = k->scale(32);
    mainLayout->setContentsMargins(margin, margin, margin, margin);
    mainLayout->setSpacing(k->scale(16));

    auto *header = new QWidget(this);
    header->setStyleSheet(QStringLiteral("background: transparent;"));
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->setSpacing(k->scale(10));

    iconLabel = new QLabel(header);
    iconLabel->setAlignment(Qt::AlignCenter);
    iconLabel->setFixedSize(k->scale(32), k->scale(32));
    QFont iconFont = iconLabel->font();
    iconFont.setPointSize(k->scale(16));
    iconFont.setWeight(QFont::Bold);
    iconLabel->setFont(iconFont);

    titleLabel = new QLabel(header);
    titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titleLabel->setWordWrap(true);
    QFont titleFont = titleLabel->font();
    titleFont.setPointSize(k->scale(8));
    titleFont.setWeight(QFont::DemiBold);
    titleLabel->setFont(titleFont);
    titleLabel->setStyleSheet(Theme::sheet(QStringLiteral("color: @boxText;")));

    headerLayout->addWidget(iconLabel, 0);
    headerLayout->addWidget(titleLabel, 1);

    messageBrowser = new QTextBrowser(this);
    messageBrowser->setFrameShape(QFrame::NoFrame);
    messageBrowser->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    messageBrowser->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    messageBrowser->setOpenExternalLinks(true);
    QFont messageFont = messageBrowser->font();
    messageFont.setPointSize(k->scale(11));
    messageBrowser->setFont(messageFont);
    messageBrowser->setStyleSheet(Theme::sheet(QStringLiteral("QTextBrowser {     background: transparent;     color: @textBlack;     border: none; }")));
    messageBrowser->verticalScrollBar()->setStyleSheet(
        Theme::sheet(QStringLiteral(
                       "QScrollBar:vertical {     background: @scrollTrack;     width: %1px;     margin: 0px;     border-radius: %2px; } "
                       "QScrollBar::handle:vertical {     background: @scrollHandle;     border-radius: %2px;     min-height: %3px; } "
                       "QScrollBar::handle:vertical:hover {     background: @scrollHandleHover; } "
                       "QScrollBar::handle:vertical:pressed {     background: @scrollHandlePressed; } "
                       "QScrollBar::add-line:vertical {     height: 0px;     subcontrol-position: bottom;     subcontrol-origin: margin; } "
                       "QScrollBar::sub-line:vertical {     height: 0px;     subcontrol-position: top;     subcontrol-origin: margin; } "
                       "QScrollBar::up-arrow:vertical, QScrollBar::down-arrow:vertical {     width: 0px;     height: 0px; } "
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical {     background: none; }"))
            .arg(k->scaleText(10), k->scaleText(5), k->scaleText(30)));
    messageBrowser->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    messageBrowser->setMinimumHeight(k->scale(30));

    auto *buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(k->scale(8));
    buttonRow->addStretch();

    const QFont buttonFont = readableButtonFont(font());

    cancelButton = new QPushButton(QStringLiteral("取消"), this);
    cancelButton->setFixedHeight(k->scale(24));
    cancelButton->setMinimumWidth(k->scale(59));
    cancelButton->setCursor(Qt::PointingHandCursor);
    cancelButton->setFont(buttonFont);
    cancelButton->setStyleSheet(
        Theme::sheet(QStringLiteral("QPushButton {     background: @boxButtonFace;     border: 1px solid @dialogButtonFrame;     border-radius: %1px;     color: @dialogButtonText;     padding: 0px %2px; } "
                                    "QPushButton:hover {     background: @dialogButtonHover;     border-color: @dialogButtonHoverFrame; } "
                                    "QPushButton:pressed {     background: @dialogButtonPressed; }"))
            .arg(k->scaleText(4), k->scaleText(12)));
    connect(cancelButton, &QPushButton::clicked, this, &SimpleDialog::handleCancel);

    okButton = new QPushButton(QStringLiteral("确定"), this);
    okButton->setFixedHeight(k->scale(24));
    okButton->setMinimumWidth(k->scale(59));
    okButton->setCursor(Qt::PointingHandCursor);
    okButton->setFont(buttonFont);
    okButton->setStyleSheet(
        Theme::sheet(QStringLiteral("QPushButton {     background: @dialogInfo;     border: none;     border-radius: %1px;     color: @textOnColour;     padding: 0px %2px; } "
                                    "QPushButton:hover {     background: @dialogInfoHover; } "
                                    "QPushButton:pressed {     background: @dialogInfoPressed; }"))
            .arg(k->scaleText(4), k->scaleText(12)));
    connect(okButton, &QPushButton::clicked, this, &SimpleDialog::handleOk);

    buttonRow->addWidget(cancelButton);
    buttonRow->addWidget(okButton);

    mainLayout->addWidget(header);
    mainLayout->addWidget(messageBrowser, 1);
    mainLayout->addSpacing(k->scale(6));
    mainLayout->addLayout(buttonRow);
}

void SimpleDialog::setKind(int value)
{
    K *k = K::instance();
    kind = value;
    const KindLook look = kindLook(value);

    cancelButton->show();
    if (!look.cancelVisible)
        cancelButton->hide();

    iconLabel->setText(QString::fromUtf8(look.symbol));
    iconLabel->setStyleSheet(QStringLiteral("QLabel {     color: %1;     background: %2;     border-radius: %3px;     font-weight: bold; }")
                                 .arg(look.badge, look.badgeBackground, k->scaleText(16)));

    okButton->setFont(readableButtonFont(okButton->font()));
    okButton->setStyleSheet(Theme::sheet(QStringLiteral("QPushButton {     background: %1;     border: none;     border-radius: %2px;     color: @textOnColour;     padding: 0px %3px; } "
                                                        "QPushButton:hover {     background: %4; } "
                                                        "QPushButton:pressed {     background: %5; }"))
                                .arg(look.ok, k->scaleText(4), k->scaleText(12), look.okHover, look.okPressed));
}

void SimpleDialog::setTitle(const QString &title)
{
    titleLabel->setText(title);
}

void SimpleDialog::setMessage(const QString &message, bool richText)
{
    K *k = K::instance();
    QString body = message;
    if (!richText)
        body = message.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    // Filled one placeholder at a time, so a "%" inside the message stays text.
    const QString html = Theme::sheet(QStringLiteral("<div style='line-height: %1px; color: @textBlack; font-size: %2px;'>%3</div>"))
                             .arg(k->scaleText(22))
                             .arg(k->scaleText(11))
                             .arg(body);
    messageBrowser->setHtml(html);
    adjustSize();
}

void SimpleDialog::setOkCallback(std::function<void(bool)> callback)
{
    okCallback = std::move(callback);
}

void SimpleDialog::showDialog(QWidget *parent, const QString &title, const QString &message, int kind,
                              std::function<void(bool)> callback, bool richText)
{
    auto *dialog = new SimpleDialog(parent);
    dialog->setKind(kind);
    dialog->titleLabel->setText(title);
    dialog->setMessage(message, richText);
    if (callback)
        dialog->okCallback = std::move(callback);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void SimpleDialog::showSuccess(QWidget *parent, const QString &title, const QString &message, bool richText)
{
    showDialog(parent, title, message, 0, nullptr, richText);
}

void SimpleDialog::showInfo(QWidget *parent, const QString &title, const QString &message, bool richText)
{
    showDialog(parent, title, message, 1, nullptr, richText);
}

void SimpleDialog::showError(QWidget *parent, const QString &title, const QString &message, bool richText)
{
    showDialog(parent, title, message, 2, nullptr, richText);
}

void SimpleDialog::showQuestion(QWidget *parent, const QString &title, const QString &message,
                                std::function<void(bool)> callback, bool richText)
{
    showDialog(parent, title, message, 3, std::move(callback), richText);
}

bool SimpleDialog::answer(bool value)
{
    if (answered)
        return true;
    answered = true;
    if (!okCallback)
        return true;
    // The callback may destroy our parent and with it this dialog: run a copy
    // and look at the guard before touching a member again.
    QPointer<SimpleDialog> guard(this);
    const std::function<void(bool)> callback = okCallback;
    callback(value);
    return !guard.isNull();
}

void SimpleDialog::handleOk()
{
    if (!answer(true))
        return;
    accept();
}

void SimpleDialog::handleCancel()
{
    reject();
}

void SimpleDialog::reject()
{
    if (!answer(false))
        return;
    QDialog::reject();
}

void SimpleDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    K *k = K::instance();

    QScreen *screen = QGuiApplication::primaryScreen();
    const int h = screen ? screen->availableGeometry().height() / 2 : 400;
    const int textMax = qMax(h - k->scale(200), k->scale(80));
    const int want = k->scale(20) + static_cast<int>(messageBrowser->document()->size().height());
    const int textHeight = qMax(qMin(want, textMax), k->scale(60));
    messageBrowser->setMinimumHeight(textHeight);
    messageBrowser->setMaximumHeight(textMax);
    setMaximumHeight(h);
    adjustSize();

    if (QWidget *p = parentWidget()) {
        move(p->geometry().center() - rect().center());
    } else if (screen) {
        move(screen->availableGeometry().center() - rect().center());
    }
    raise();
    activateWindow();
}

void SimpleDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    PopupSurface::updateMask(this, K::instance()->scale(12));
}

void SimpleDialog::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal radius = K::instance()->scale(12);
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width(), height()), radius, radius, Qt::AbsoluteSize);
    painter.fillPath(path, Qt::white);
    painter.setPen(QPen(Theme::dialogFrame.color(), 1.0, Qt::SolidLine));
    painter.drawPath(path);
}
