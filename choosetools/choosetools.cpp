#include "choosetools/choosetools.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QTimer>
#include <QVBoxLayout>

#include "base/cardpainter.h"
#include "base/globals.h"
#include "base/k.h"
#include "base/macwindowmanager.h"
#include "base/windowplacement.h"
#include "batchdelete/batchdelete.h"
#include "choosetools/toolcardwidget.h"
#include "designsplit/fjhome.h"
#include "importfiles/importfiles.h"
#include "public/windowdrag.h"
#include "transferphotos/tfhome.h"

Q_LOGGING_CATEGORY(lcChoose, "velquora.choosetools")

bool ChooseTools::s_firstShow = true;

namespace {

QWidget *makeImportWindow(const QString &title, int type)
{
    auto *window = new ImportFiles(nullptr);
    window->setWindowTitle(title);
    window->setImportType(type);
    return window;
}

// The design-split window in the mode of its card.
ChooseTools::ToolFactory designSplitFactory(const QString &title, int mode)
{
    return [title, mode](ChooseTools *owner) -> QWidget * {
        auto *window = new FJHome(nullptr);
        window->loginData = owner->loginData;
        window->mode = mode;
        window->init({{QStringLiteral("windowtitle"), title}});
        return window;
    };
}

} // namespace

ChooseTools::ChooseTools(QWidget *parent)
    : QWidget(parent)
{
    // One entry per tool, in the order of the window references.
    m_tools = {
        {QStringLiteral("导片工具"),
         [](ChooseTools *owner) -> QWidget * {
             auto *window = new tfhome(nullptr);
             window->loginData = owner->loginData;
             return window;
         },
         nullptr},
        {QStringLiteral("设计分件"), designSplitFactory(QStringLiteral("设计分件"), DesignSplit), nullptr},
        {QStringLiteral("导入原片"), [](ChooseTools *) -> QWidget * { return makeImportWindow(QStringLiteral("导入原片"), 0); },
         nullptr},
        {QStringLiteral("导入精修片"),
         [](ChooseTools *) -> QWidget * { return makeImportWindow(QStringLiteral("导入精修片"), 1); }, nullptr},
        {QStringLiteral("下载原始档"), designSplitFactory(QStringLiteral("下载原始档"), DownloadRawFiles), nullptr},
        {QStringLiteral("下载选片结果"), designSplitFactory(QStringLiteral("下载选片结果"), DownloadSelectionResults),
         nullptr},
        {QStringLiteral("下载照片交付"), designSplitFactory(QStringLiteral("下载照片交付"), DownloadPhotoDelivery),
         nullptr},
        {QStringLiteral("批量删除"),
         [](ChooseTools *owner) -> QWidget * {
             auto *window = new BatchDelete(nullptr);
             window->loginReply = owner->loginData;
             return window;
         },
         nullptr},
    };
    setupWindow();
    setupUi();
    applyStyleSheet();
    // The nominal size does not hold the cards; the gaps between the rows
    // give way first where the screen is low.
    WindowPlacement::fitToScreen(this);
    startFadeIn();
}

void ChooseTools::setupWindow()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground, true);
    resize(K::instance()->scale(800), K::instance()->scale(450));
    // The cards leave their presses unaccepted: the chooser is dragged by
    // them as well as by its background.
    new WindowDrag(this);
}

void ChooseTools::setupUi()
{
    K *k = K::instance();
    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(k->scale(40), k->scale(30), k->scale(40), k->scale(30));
    main->setSpacing(0);
    // A vertical gap that shrinks when the screen is lower than the window.
    const auto gap = [main, k](int px) {
        main->addSpacerItem(new QSpacerItem(0, k->scale(px), QSizePolicy::Minimum, QSizePolicy::Preferred));
    };

    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(0, 0, 0, 0);
    auto *spacer = new QLabel(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    titleRow->addWidget(spacer);
    m_minimizeButton = new QPushButton(QStringLiteral("−"), this);
    m_minimizeButton->setObjectName(QStringLiteral("minimizeButton"));
    m_minimizeButton->setFixedSize(k->scale(21), k->scale(21));
    titleRow->addWidget(m_minimizeButton);
    titleRow->addSpacing(k->scale(6));
    m_closeButton = new QPushButton(QStringLiteral("×"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setFixedSize(k->scale(21), k->scale(21));
    titleRow->addWidget(m_closeButton);
    connect(m_minimizeButton, &QPushButton::clicked, this, &ChooseTools::onMinimizeButtonClicked);
    connect(m_closeButton, &QPushButton::clicked, this, &ChooseTools::onCloseButtonClicked);
    main->addLayout(titleRow);
    gap(20);

    auto *logoRow = new QHBoxLayout;
    logoRow->setContentsMargins(0, 0, 0, 0);
    m_logoLabel = new QLabel(QStringLiteral("Velquora"), this);
    m_logoLabel->setObjectName(QStringLiteral("logoLabel"));
    m_logoLabel->setAlignment(Qt::AlignCenter);
    logoRow->addStretch();
    logoRow->addWidget(m_logoLabel);
    logoRow->addStretch();
    main->addLayout(logoRow);
    gap(15);

    auto *sloganRow = new QHBoxLayout;
    sloganRow->setContentsMargins(0, 0, 0, 0);
    m_sloganLabel = new QLabel(QStringLiteral("让每一张照片都准确、快速地到达它该去的地方"), this);
    m_sloganLabel->setObjectName(QStringLiteral("sloganLabel"));
    m_sloganLabel->setAlignment(Qt::AlignCenter);
    sloganRow->addStretch();
    sloganRow->addWidget(m_sloganLabel);
    sloganRow->addStretch();
    main->addLayout(sloganRow);
    gap(50);

    auto *cardRow = new QHBoxLayout;
    auto *container = new QWidget(this);
    m_gridLayout = new QGridLayout(container);
    m_gridLayout->setContentsMargins(0, 0, 0, 0);
    m_gridLayout->setSpacing(k->scale(25));
    m_gridLayout->setAlignment(Qt::AlignCenter);
    for (int c = 0; c < m_columnCount; ++c)
        m_gridLayout->setColumnStretch(c, 1);
    cardRow->addStretch();
    cardRow->addWidget(container);
    cardRow->addStretch();

    const QString icons = QStringLiteral(":/choosetools/image/choosetools/");
    addToolCard(icons + QStringLiteral("tools_dr_yp.svg"), QStringLiteral("导入原片"));
    addToolCard(icons + QStringLiteral("tools_xz_ysd.svg"), QStringLiteral("下载原始档"));
    addToolCard(icons + QStringLiteral("tools_dr_qxp.svg"), QStringLiteral("导片工具"));
    addToolCard(icons + QStringLiteral("tools_xz_xpjg.svg"), QStringLiteral("下载选片结果"));
    addToolCard(icons + QStringLiteral("tools_dr_jxp.svg"), QStringLiteral("导入精修片"));
    addToolCard(icons + QStringLiteral("tools_sjfj.svg"), QStringLiteral("设计分件"));
    addToolCard(icons + QStringLiteral("tools_xz_zpjf.svg"), QStringLiteral("下载照片交付"));
    addToolCard(icons + QStringLiteral("tools_batchdel.svg"), QStringLiteral("批量删除"));
    main->addLayout(cardRow);

    main->addStretch();
    gap(50);
    m_versionLabel = new QLabel(QStringLiteral("版本信息：") + g_version, this);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    m_versionLabel->setAlignment(Qt::AlignCenter);
    main->addWidget(m_versionLabel);
    gap(20);
}

void ChooseTools::addToolCard(const QString &iconPath, const QString &title)
{
    auto *card = new ToolCardWidget(iconPath, title, QString(), this);
    connect(card, &ToolCardWidget::clicked, this, &ChooseTools::onToolClicked);
    connect(card, &ToolCardWidget::doubleClicked, this, &ChooseTools::onToolDoubleClicked);
    m_cards.append(card);
    const int index = m_cards.size() - 1;
    m_gridLayout->addWidget(card, index / m_columnCount, index % m_columnCount, Qt::AlignCenter);
}

void ChooseTools::applyStyleSheet()
{
    K *k = K::instance();
    setObjectName(QStringLiteral("ToolCardWidget"));
    setStyleSheet(QStringLiteral("#ToolCardWidget {    background: transparent;}"
                                 "QPushButton#minimizeButton, QPushButton#closeButton {    background: transparent;"
                                 "    border: none;    color: rgba(255, 255, 255, 0.8);    font-weight: bold;"
                                 "    font-size: %1px;}"
                                 "QPushButton#minimizeButton:hover, QPushButton#closeButton:hover {    color: white;"
                                 "    background: rgba(255, 255, 255, 0.1);    border-radius: %2px;}"
                                 "QLabel#logoLabel {    color: white;    font-weight: bold;    font-size: %3px;}"
                                 "QLabel#sloganLabel {    color: rgba(255, 255, 255, 0.9);    font-size: %4px;}"
                                 "QLabel#versionLabel {    color: rgba(160, 170, 190, 0.8);    font-size: %5px;}")
                      .arg(k->scaleText(18), k->scaleText(10), k->scaleText(32), k->scaleText(16),
                           k->scaleText(12)));
}

void ChooseTools::startFadeIn()
{
    m_fadeIn = new QPropertyAnimation(this, "windowOpacity");
    m_fadeIn->setDuration(300);
    m_fadeIn->setStartValue(0.0);
    m_fadeIn->setEndValue(1.0);
    m_fadeIn->setEasingCurve(QEasingCurve::OutCubic);
    connect(this, &QObject::destroyed, m_fadeIn, &QObject::deleteLater);
    m_fadeIn->start();
}

void ChooseTools::replayFadeIn()
{
    if (m_fadeIn)
        m_fadeIn->start();
}

void ChooseTools::beep()
{
    QApplication::beep();
}

void ChooseTools::onToolClicked()
{
    if (qobject_cast<ToolCardWidget *>(sender()))
        beep();
}

ChooseTools::Tool *ChooseTools::toolFor(const QString &title)
{
    for (Tool &tool : m_tools) {
        if (tool.title == title)
            return &tool;
    }
    return nullptr;
}

void ChooseTools::setToolFactory(const QString &title, ToolFactory factory)
{
    if (Tool *tool = toolFor(title))
        tool->create = std::move(factory);
}

QWidget *ChooseTools::toolWindow(const QString &title) const
{
    for (const Tool &tool : m_tools) {
        if (tool.title == title)
            return tool.window.data();
    }
    return nullptr;
}

void ChooseTools::onToolDoubleClicked(const QString &title)
{
    if (!qobject_cast<ToolCardWidget *>(sender()))
        return;
    beep();
    QTimer::singleShot(200, &ChooseTools::beep);

    Tool *tool = toolFor(title);
    if (!tool)
        return;
    if (tool->window) {
        tool->window->showMaximized();
        tool->window->raise();
        tool->window->activateWindow();
        return;
    }
    QWidget *window = tool->create(this);
    if (!window)
        return;
    window->setAttribute(Qt::WA_DeleteOnClose);
    tool->window = window;
    WindowPlacement::showMaximized(window, this);
}

void ChooseTools::onCloseButtonClicked()
{
    close();
}

void ChooseTools::onMinimizeButtonClicked()
{
    if (!MacWindowManager::minimizeWindow(this)) {
        qCDebug(lcChoose) << "最小化失败，尝试Qt默认方法";
        setWindowState(Qt::WindowMinimized);
    }
}

void ChooseTools::paintEvent(QPaintEvent *event)
{
    CardPainter::paintCard(this, false);
    QWidget::paintEvent(event);
}

void ChooseTools::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!s_firstShow)
        return;
    s_firstShow = false;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        WindowPlacement::centreWithin(this, screen->availableGeometry());
    }
}
