#include "designsplit/fjrightpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "designsplit/foldernamingrule.h"
#include "designsplit/jobs/fjlog.h"
#include "public/datepopup.h"
#include "public/elementbutton.h"
#include "public/theme.h"
#include "public/thumbnailtableview.h"
#include "public/toastwidget.h"

namespace {

QString px(int value)
{
    return K::instance()->scaleText(value);
}

QString labelStyle()
{
    return Theme::sheet(QStringLiteral("QLabel { font-size: ") + px(11) + QStringLiteral("px; font-weight: 600; color: @textDark; min-width: ")
        + px(53) + QStringLiteral("px; }"));
}

QString comboStyle()
{
    return Theme::sheet(QStringLiteral("QComboBox { background-color: white; border: 1px solid @separator; border-radius: ") + px(6)
        + QStringLiteral("px; padding: 0px ") + px(8) + QStringLiteral("px; font-size: ") + px(11)
        + QStringLiteral("px; color: @textDark; selection-background-color: @accent; }"
                         "QComboBox:focus { border-color: @accent; }"
                         "QComboBox::drop-down { border: none; width: ")
        + px(20)
        + QStringLiteral("px; }"
                         "QComboBox::down-arrow { image: url(:/public/image/public/arrows/downarrow_gray_64.png);"
                         " width: ")
        + px(10) + QStringLiteral("px; height: ") + px(10)
        + QStringLiteral("px; }"
                         "QComboBox QAbstractItemView { background-color: white; border: 1px solid @separator;"
                         " color: @textDark; selection-background-color: @accent; selection-color: white; }"
                         "QComboBox QAbstractItemView::item:hover { background-color: @itemHover; }"
                         "QComboBox QAbstractItemView::item:selected { background-color: @accent; color: white; }"));
}

QString fieldStyle()
{
    return Theme::sheet(QStringLiteral("QLineEdit, QDateEdit { background-color: white; border: 1px solid @separator; border-radius: ")
        + px(6) + QStringLiteral("px; padding: 0px ") + px(8) + QStringLiteral("px; font-size: ") + px(11)
        + QStringLiteral("px; color: @textDark; }"
                         "QLineEdit:focus, QDateEdit:focus { border-color: @accent; }"));
}

QString gradientButton(Theme::Colour from, Theme::Colour to, Theme::Colour hoverFrom, Theme::Colour hoverTo,
                       Theme::Colour pressFrom, Theme::Colour pressTo)
{
    const auto gradient = [](Theme::Colour a, Theme::Colour b) {
        return QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)").arg(a.name(), b.name());
    };
    return Theme::sheet(QStringLiteral("QPushButton { background: ") + gradient(from, to)
        + QStringLiteral("; color: white; font-weight: 600; border: none; border-radius: ") + px(8)
        + QStringLiteral("px; font-size: ") + px(12) + QStringLiteral("px; }QPushButton:hover { background: ")
        + gradient(hoverFrom, hoverTo) + QStringLiteral("; }QPushButton:pressed { background: ")
        + gradient(pressFrom, pressTo)
        + QStringLiteral("; }QPushButton:disabled { background: @disabledFill; color: @textMuted; }"));
}

QString calendarStyle()
{
    return Theme::sheet(QStringLiteral(
        "QCalendarWidget { background-color: white; border: 1px solid @separator; border-radius: 12px; font-size: 13px; }"
        "QCalendarWidget QWidget#qt_calendar_navigationbar { background-color: @headerFace;"
        " border-bottom: 1px solid @separator; border-top-left-radius: 12px; border-top-right-radius: 12px; }"
        "QCalendarWidget QToolButton { background-color: transparent; color: @accent; font-weight: 600;"
        " font-size: 14px; padding: 8px; border-radius: 6px; border: none; }"
        "QCalendarWidget QToolButton:hover { background-color: @itemHover; }"
        "QCalendarWidget QToolButton:pressed { background-color: @greyHover; }"
        "QCalendarWidget QAbstractItemView { background-color: white; selection-background-color: @accent;"
        " selection-color: white; gridline-color: @hairline; font-size: 13px; color: @textDark; }"
        "QCalendarWidget QWidget { alternate-background-color: @headerFace; }"
        "QCalendarWidget QHeaderView::section { background-color: @headerFace; color: @textMuted; font-weight: 600;"
        " font-size: 12px; padding: 8px; }"));
}

QString checkOptionStyle()
{
    return Theme::sheet(QStringLiteral("QCheckBox { background-color: @optionFace; border: 1px solid @separator; border-radius: ") + px(6)
        + QStringLiteral("px; padding: ") + px(6) + QStringLiteral("px ") + px(10) + QStringLiteral("px; font-size: ")
        + px(11)
        + QStringLiteral("px; color: @textDark; }"
                         "QCheckBox:hover { background-color: @optionHover; border-color: @accent; }"
                         "QCheckBox:checked { background-color: @accentTint; border-color: @accent; color: @accent; }"
                         "QCheckBox::indicator { width: 14px; height: 14px; border: 1px solid @controlFrame;"
                         " border-radius: 3px; background-color: white; }"
                         "QCheckBox::indicator:checked { background-color: @accent; border-color: @accent;"
                         " image: url(:/public/image/public/check_white.png); }"
                         "QCheckBox::indicator:checked:hover { background-color: @accentShade; }"));
}

QString sectionButtonStyle(bool primary, bool downloaded)
{
    const QString metrics = QStringLiteral("border-radius: ") + px(6) + QStringLiteral("px; padding: ") + px(4)
        + QStringLiteral("px ") + px(12) + QStringLiteral("px; font-size: ") + px(11)
        + QStringLiteral("px; font-weight: 500;");
    if (!primary) {
        return Theme::sheet(QStringLiteral("QPushButton { background-color: @secondaryFace; color: @textDark; border: 1px solid @secondaryFrame; ")
                            + metrics
                            + QStringLiteral(" }QPushButton:hover { background-color: @secondaryHover; border-color: @secondaryHoverFrame; }"
                                             "QPushButton:pressed { background-color: @secondaryPressed; }"));
    }
    const QString base = (downloaded ? Theme::success : Theme::accent).name();
    const QString hover = (downloaded ? Theme::successDark : Theme::accentDeep).name();
    const QString pressed = (downloaded ? Theme::successDarkest : Theme::accentDeepest).name();
    return QStringLiteral("QPushButton { background-color: ") + base + QStringLiteral("; color: white; border: none; ")
        + metrics + QStringLiteral(" }QPushButton:hover { background-color: ") + hover
        + QStringLiteral("; }QPushButton:pressed { background-color: ") + pressed + QStringLiteral("; }");
}

} // namespace

FJRightPanel::FJRightPanel(QWidget *parent)
    : QWidget(parent)
{
    setupUi();
    const int index = shopIndex();
    if (index >= 0 && index < g_shopList.size())
        shopId = g_shopList.at(index).id;
}

FJRightPanel::~FJRightPanel() = default;

bool FJRightPanel::hasShop() const
{
    const int index = shopIndex();
    return index >= 0 && index < g_shopList.size();
}

void FJRightPanel::setupUi()
{
    K *k = K::instance();
    mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(k->scale(7), k->scale(13), k->scale(13), k->scale(13));
    mainLayout->setSpacing(k->scale(13));

    shopRow = new QHBoxLayout;
    shopLabel = new QLabel(QStringLiteral("分店选择:"), this);
    shopLabel->setStyleSheet(labelStyle());
    shopCombo = new QComboBox(this);
    shopCombo->setFixedHeight(k->scale(27));
    shopCombo->setStyleSheet(comboStyle());
    for (const ShopInfo &shop : qAsConst(g_shopList))
        shopCombo->addItem(shop.name);
    if (g_shopList.isEmpty())
        shopCombo->setPlaceholderText(QStringLiteral("没有可用的分店"));
    // Connected once the items are in: filling the combo loads nothing. The
    // index, not the text, names the shop: two shops may share a name.
    connect(shopCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &FJRightPanel::onShopIndexChanged);
    shopRow->addWidget(shopLabel);
    shopRow->addWidget(shopCombo, 1);
    mainLayout->addLayout(shopRow);

    searchRow = new QHBoxLayout;
    searchTypeLabel = new QLabel(QStringLiteral("搜索类型:"), this);
    searchTypeLabel->setStyleSheet(shopLabel->styleSheet());
    searchTypeCombo = new QComboBox(this);
    searchTypeCombo->setFixedHeight(k->scale(27));
    searchTypeCombo->addItems({QStringLiteral("基本信息"), QStringLiteral("拍照日期"), QStringLiteral("选片日期")});
    searchTypeCombo->setStyleSheet(shopCombo->styleSheet());
    keywordEdit = new QLineEdit(this);
    keywordEdit->setPlaceholderText(QStringLiteral("搜索订单号、姓名..."));
    keywordEdit->setFixedHeight(k->scale(27));
    keywordEdit->setStyleSheet(fieldStyle());

    DatePopupLook look;
    look.popupSize = QSize(500, 500);
    look.popupStyleSheet = calendarStyle();
    look.keysOpen = true;
    // Beside the panel, over the order list: below the field it covered the
    // start and search buttons and the delivery options.
    look.placement = DatePopupLook::Placement::BesidePanel;
    look.frameRadius = 12;
    datePopup = new DatePopup(look, this);
    const auto makeDateEdit = [this, k]() {
        auto *edit = new QDateEdit(QDate::currentDate(), this);
        edit->setFixedHeight(k->scale(27));
        edit->setCalendarPopup(false);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::StrongFocus);
        edit->setCursor(Qt::PointingHandCursor);
        edit->setButtonSymbols(QAbstractSpinBox::NoButtons);
        edit->setStyleSheet(fieldStyle());
        edit->hide();
        datePopup->attach(edit);
        return edit;
    };
    shotDateEdit = makeDateEdit();
    selectDateEdit = makeDateEdit();
    connect(searchTypeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &FJRightPanel::onSearchTypeChanged);
    searchRow->addWidget(searchTypeLabel);
    searchRow->addWidget(searchTypeCombo);
    searchRow->addWidget(keywordEdit, 1);
    searchRow->addWidget(shotDateEdit, 1);
    searchRow->addWidget(selectDateEdit, 1);
    mainLayout->addLayout(searchRow);

    buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(k->scale(7));
    searchButton = new QPushButton(QStringLiteral("搜索订单"), this);
    startButton = new QPushButton(QStringLiteral("开始分件"), this);
    for (QPushButton *button : {searchButton, startButton}) {
        button->setFixedHeight(k->scale(33));
        button->setFixedWidth(k->scale(120));
        button->setCursor(Qt::PointingHandCursor);
    }
    searchButton->setStyleSheet(gradientButton(Theme::success, Theme::successMid, Theme::successHoverTop,
                                               Theme::successHoverBottom, Theme::successMid, Theme::successDarkest));
    startButton->setStyleSheet(gradientButton(Theme::accent, Theme::accentDeep, Theme::accentHoverTop, Theme::accentBright,
                                              Theme::accentBright, Theme::accentDeepest));
    connect(startButton, &QPushButton::clicked, this, &FJRightPanel::onStartProcessClicked);
    connect(searchButton, &QPushButton::clicked, this, &FJRightPanel::onSearchOrderClicked);
    buttonRow->addWidget(searchButton, 1);
    buttonRow->addWidget(startButton, 1);
    mainLayout->addLayout(buttonRow);

    directoryRow = new QHBoxLayout;
    chooseDirectoryButton = new QPushButton(QStringLiteral("选择分件目录"), this);
    chooseDirectoryButton->setFixedHeight(k->scale(29));
    chooseDirectoryButton->setFixedWidth(k->scale(100));
    chooseDirectoryButton->setCursor(Qt::PointingHandCursor);
    chooseDirectoryButton->setStyleSheet(Theme::sheet(
        QStringLiteral("QPushButton { background-color: @groupedFace; color: @accent; font-weight: 600; border: none;"
                       " border-radius: ")
        + px(6) + QStringLiteral("px; min-width: ") + px(80) + QStringLiteral("px; font-size: ") + px(11)
        + QStringLiteral("px; }QPushButton:hover { background-color: @greyHover; }"
                         "QPushButton:pressed { background-color: @greyPressed; }"
                         "QPushButton:disabled { color: @textMuted; }")));
    connect(chooseDirectoryButton, &QPushButton::clicked, this, &FJRightPanel::onChooseDirectoryClicked);
    directoryLabel = new QLabel(QStringLiteral("未选择目录"), this);
    directoryLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { font-size: ") + px(11)
                                               + QStringLiteral("px; color: @textMuted; padding: 5px; background-color: @groupedFace;"
                                                                " border-radius: 5px; }")));
    directoryRow->addWidget(chooseDirectoryButton);
    directoryRow->addWidget(directoryLabel, 1);
    mainLayout->addLayout(directoryRow);

    if (splitType != DownloadRawFiles)
        mainLayout->addStretch(0);
    onSearchTypeChanged();

    if (g_shopList.isEmpty()) {
        searchButton->setEnabled(false);
        startButton->setEnabled(false);
    }
}

void FJRightPanel::setSplitType(int type)
{
    splitType = type;
    switch (type) {
    case DownloadPhotoDelivery:
        buildOptions();
        break;
    case DownloadRawFiles:
        startButton->setText(QStringLiteral("开始下载"));
        buildImageLists();
        break;
    case DesignSplit:
        buildNamingRule();
        break;
    default:
        break;
    }
}

// ------------------------------------------------------------ search

int FJRightPanel::shopIndex() const
{
    return shopCombo->currentIndex();
}

int FJRightPanel::searchTypeIndex() const
{
    return searchTypeCombo->currentIndex();
}

QString FJRightPanel::searchTypeText() const
{
    return searchTypeCombo->currentText();
}

QString FJRightPanel::searchText() const
{
    switch (searchTypeIndex()) {
    case 0:
        return keywordEdit->text();
    case 1:
        return shotDateEdit->date().toString(QStringLiteral("yyyy-MM-dd"));
    case 2:
        return selectDateEdit->date().toString(QStringLiteral("yyyy-MM-dd"));
    default:
        return QString();
    }
}

void FJRightPanel::onSearchTypeChanged()
{
    keywordEdit->hide();
    shotDateEdit->hide();
    selectDateEdit->hide();
    switch (searchTypeIndex()) {
    case 0:
        keywordEdit->show();
        break;
    case 1:
        shotDateEdit->show();
        break;
    case 2:
        selectDateEdit->show();
        break;
    default:
        break;
    }
}

void FJRightPanel::onSearchOrderClicked()
{
    // Without a shop there is nothing to search (the button is off).
    if (!hasShop())
        return;
    shopId = g_shopList.at(shopIndex()).id;
    g_splitShopId = shopId;
    onSetSearchBtnStatus(false);
    emit searchRequested(searchTypeText(), searchText(), shopId);
}

void FJRightPanel::onSetSearchBtnStatus(bool done)
{
    if (!done) {
        searchButton->setEnabled(false);
        searchButton->setText(QStringLiteral("搜索中..."));
        return;
    }
    searchButton->setEnabled(startButton->isEnabled() && hasShop());
    searchButton->setText(QStringLiteral("搜索订单"));
}

void FJRightPanel::onDateEditClicked()
{
}

// ------------------------------------------------------------ folder, start

void FJRightPanel::warn(const QString &text)
{
    ModalBox::showMessage(this, QMessageBox::Warning, QStringLiteral("温馨提示"), text);
}

void FJRightPanel::onChooseDirectoryClicked()
{
    const QString path = ModalBox::pickFolder(this, QStringLiteral("选择分件目录"));
    if (path.isEmpty())
        return;
    setSplitDirectory(path);
}

void FJRightPanel::setSplitDirectory(const QString &path)
{
    g_splitDirectory = path;
    splitDirectory = path;
    const QFontMetrics metrics(directoryLabel->font());
    const int available = directoryLabel->width() - 20;
    QString text = path;
    if (metrics.horizontalAdvance(text) > available) {
        text = QStringLiteral("...") + path.right(qMax(0, path.size() - 10));
        while (metrics.horizontalAdvance(text) > available && text.size() > 10)
            text = QStringLiteral("...") + text.right(text.size() - 5);
    }
    directoryLabel->setText(text);
    directoryLabel->setToolTip(path);
    directoryLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { font-size: ") + px(11)
                                               + QStringLiteral("px; color: @textDark; padding: 5px; background-color: @selection;"
                                                                " border-radius: 5px; }")));
}

void FJRightPanel::onStartProcessClicked()
{
    if (!hasShop())
        return;
    if (!splitDirectory.isEmpty()) {
        emit startProcessRequested();
        return;
    }
    QPointer<FJRightPanel> self(this);
    // The start button as it reads in this mode.
    warn(QStringLiteral("请选择分件目录后再点击%1按钮").arg(startButton->text()));
    if (self)
        onChooseDirectoryClicked();
}

void FJRightPanel::setControlsEnabled(bool enabled)
{
    m_controlsEnabled = enabled;
    const bool withShop = enabled && hasShop();
    shopCombo->setEnabled(enabled);
    searchTypeCombo->setEnabled(enabled);
    keywordEdit->setEnabled(enabled);
    shotDateEdit->setEnabled(enabled);
    selectDateEdit->setEnabled(enabled);
    chooseDirectoryButton->setEnabled(enabled);
    startButton->setEnabled(withShop);
    searchButton->setEnabled(withShop);
    if (splitType == DownloadPhotoDelivery) {
        for (QCheckBox *box : {rawBox, originalBox, simpleRetouchBox, simpleRetouchRejectsBox, fineRetouchBox})
            box->setEnabled(enabled);
    }
}

// ------------------------------------------------------------ photo delivery

void FJRightPanel::buildOptions()
{
    optionsLayout = new QVBoxLayout;
    optionsLayout->setSpacing(K::instance()->scale(8));
    optionsLabel = new QLabel(QStringLiteral("下载目录选项:"), this);
    optionsLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { font-weight: 600; color: @textDark; font-size: ") + px(11)
                                             + QStringLiteral("px; }")));
    optionsLayout->addWidget(optionsLabel);
    optionsRow = new QHBoxLayout;
    optionsRow->setSpacing(K::instance()->scale(12));
    const auto makeBox = [this](const QString &text) {
        auto *box = new QCheckBox(text, this);
        box->setCursor(Qt::PointingHandCursor);
        box->setStyleSheet(checkOptionStyle());
        optionsRow->addWidget(box);
        return box;
    };
    rawBox = makeBox(QStringLiteral("原始档"));
    originalBox = makeBox(QStringLiteral("原图"));
    simpleRetouchBox = makeBox(QStringLiteral("简修"));
    simpleRetouchRejectsBox = makeBox(QStringLiteral("简修含汰片"));
    fineRetouchBox = makeBox(QStringLiteral("精修"));
    fineRetouchBox->setChecked(true);
    optionsRow->addStretch();
    optionsLayout->addLayout(optionsRow);
    mainLayout->addLayout(optionsLayout);
    mainLayout->addStretch(3);
}

// ------------------------------------------------------------ raw download lists

QWidget *FJRightPanel::buildImageSection(bool downloaded)
{
    K *k = K::instance();
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, k->scale(10), 0, k->scale(10));
    layout->setSpacing(k->scale(8));

    auto *header = new QWidget(section);
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->setSpacing(k->scale(8));
    auto *titleGroup = new QHBoxLayout;
    titleGroup->setContentsMargins(0, 0, 0, 0);
    titleGroup->setSpacing(k->scale(6));
    auto *bar = new QWidget(header);
    bar->setFixedSize(k->scale(4), k->scale(16));
    bar->setStyleSheet(Theme::sheet(downloaded ? QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @success,"
                                                                " stop:1 @successDark); border-radius: 2px;")
                                               : QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @accent,"
                                                                " stop:1 @accentDeep); border-radius: 2px;")));
    auto *title = new QLabel(downloaded ? QStringLiteral("已下载图片") : QStringLiteral("未下载图片"), header);
    title->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { font-size: ") + px(13)
                                      + QStringLiteral("px; font-weight: 600; color: @textDark; }")));
    titleGroup->addWidget(bar);
    titleGroup->addWidget(title);
    headerLayout->addLayout(titleGroup);
    headerLayout->addStretch();
    auto *selectAll = new QPushButton(QStringLiteral("全选"), header);
    selectAll->setFixedHeight(k->scale(28));
    selectAll->setMinimumWidth(k->scale(60));
    selectAll->setCursor(Qt::PointingHandCursor);
    selectAll->setStyleSheet(sectionButtonStyle(true, downloaded));
    auto *clearAll = new QPushButton(QStringLiteral("取消全选"), header);
    clearAll->setFixedHeight(k->scale(28));
    clearAll->setMinimumWidth(k->scale(70));
    clearAll->setCursor(Qt::PointingHandCursor);
    clearAll->setStyleSheet(sectionButtonStyle(false, downloaded));
    headerLayout->addWidget(selectAll);
    headerLayout->addWidget(clearAll);
    layout->addWidget(header);

    auto *grid = new ThumbnailTableView(this);
    // At least one row of photo cards. Both lists share the panel's height
    // with the search rows, and a laptop's 768 pixels must hold them all:
    // any taller and the window's bottom lies below the screen.
    grid->setMinimumHeight(k->scale(130));
    layout->addWidget(grid, 1);
    connect(grid, &ThumbnailTableView::selectionChanged, this,
            [this, downloaded](int index, bool selected) { onGridSelectionChanged(downloaded, index, selected); });

    if (downloaded) {
        downloadedTitle = title;
        downloadedGrid = grid;
        downloadedSelectAllButton = selectAll;
        downloadedClearAllButton = clearAll;
        connect(selectAll, &QPushButton::clicked, this, &FJRightPanel::onDownloadedSelectAllClicked);
        connect(clearAll, &QPushButton::clicked, this, &FJRightPanel::onDownloadedClearAllClicked);
    } else {
        undownloadedTitle = title;
        undownloadedGrid = grid;
        undownloadedSelectAllButton = selectAll;
        undownloadedClearAllButton = clearAll;
        connect(selectAll, &QPushButton::clicked, this, &FJRightPanel::onUndownloadSelectAllClicked);
        connect(clearAll, &QPushButton::clicked, this, &FJRightPanel::onUndownloadClearAllClicked);
    }
    return section;
}

void FJRightPanel::buildImageLists()
{
    undownloadedSection = buildImageSection(false);
    mainLayout->addWidget(undownloadedSection, 1);
    downloadedSection = buildImageSection(true);
    mainLayout->addWidget(downloadedSection, 1);
}

void FJRightPanel::onGridSelectionChanged(bool downloaded, int index, bool selected)
{
    qCDebug(lcDesignSplit) << (downloaded ? "已下载的：" : "未下载的：") << index << "---" << (selected ? "true" : "false");
    QList<ThumbnailPhoto> &photos = downloaded ? currentOrder.downloadedImages : currentOrder.undownloadedImages;
    if (index < 0 || index >= photos.size())
        return;
    photos[index].selected = selected;
    emit downAndUnDownImgSelectedChange();
}

void FJRightPanel::setAllSelected(bool downloaded, bool selected)
{
    ThumbnailTableView *grid = downloaded ? downloadedGrid : undownloadedGrid;
    if (!grid)
        return;
    if (selected)
        grid->selectAll();
    else
        grid->deselectAll();
    QList<ThumbnailPhoto> &photos = downloaded ? currentOrder.downloadedImages : currentOrder.undownloadedImages;
    for (ThumbnailPhoto &photo : photos)
        photo.selected = selected;
    emit downAndUnDownImgSelectedChange();
}

void FJRightPanel::onUndownloadSelectAllClicked()
{
    setAllSelected(false, true);
}

void FJRightPanel::onUndownloadClearAllClicked()
{
    setAllSelected(false, false);
}

void FJRightPanel::onDownloadedSelectAllClicked()
{
    setAllSelected(true, true);
}

void FJRightPanel::onDownloadedClearAllClicked()
{
    setAllSelected(true, false);
}

void FJRightPanel::showOrderImages()
{
    if (!undownloadedGrid || !downloadedGrid)
        return;
    const QString caption = currentOrder.orderpayforkey + QLatin1Char('-') + currentOrder.servicetimes
        + QStringLiteral("  ") + currentOrder.mname + QStringLiteral("  ") + currentOrder.wname + QStringLiteral("  ")
        + currentOrder.role1;
    undownloadedTitle->setText(QStringLiteral("未下载:  ")
                               + QStringLiteral("(%1张)  ").arg(currentOrder.undownloadedImages.size()) + caption);
    downloadedTitle->setText(QStringLiteral("已下载:  ")
                             + QStringLiteral("(%1张)  ").arg(currentOrder.downloadedImages.size()) + caption);
    undownloadedGrid->setPhotos(currentOrder.undownloadedImages);
    downloadedGrid->setPhotos(currentOrder.downloadedImages);
}

void FJRightPanel::clearCurrentOrder()
{
    currentRow = -1;
    currentOrder = OrderData();
    if (!undownloadedGrid || !downloadedGrid)
        return;
    undownloadedTitle->setText(QStringLiteral("未下载图片"));
    downloadedTitle->setText(QStringLiteral("已下载图片"));
    undownloadedGrid->setPhotos({});
    downloadedGrid->setPhotos({});
}

// ------------------------------------------------------------ naming rule

void FJRightPanel::buildNamingRule()
{
    namingRuleEditor = new FolderNamingRule(this);
    mainLayout->addWidget(namingRuleEditor);
    namingRuleEditor->setAvailableFields(FolderNamingRule::availableFields(QStringLiteral("产品文件夹")));
    connect(namingRuleEditor, &FolderNamingRule::ruleChangedJson, this,
            [this](const QJsonArray &rule) { editedRule = rule; });

    auto *row = new QHBoxLayout;
    row->addStretch();
    resetRuleButton = new ElementButton(QStringLiteral("重置"), 3, this);
    saveRuleButton = new ElementButton(QStringLiteral("保存"), 2, this);
    connect(resetRuleButton, &QPushButton::clicked, this, [this]() { namingRuleEditor->setRule(storedRule); });
    connect(saveRuleButton, &QPushButton::clicked, this, &FJRightPanel::saveNamingRule);
    row->addWidget(resetRuleButton);
    row->addWidget(saveRuleButton);
    mainLayout->addLayout(row);
    mainLayout->addStretch(0);

    // The shop shown first has its stored rule too: load it now, not only
    // after the first change of the shop selection.
    if (hasShop())
        loadShopRule(shopIndex());
    else
        saveRuleButton->setEnabled(false);
}

void FJRightPanel::onShopIndexChanged(int index)
{
    if (splitType != DesignSplit)
        return;
    loadShopRule(index);
    emit shopChange();
}

void FJRightPanel::loadShopRule(int index)
{
    if (index < 0 || index >= g_shopList.size() || !namingRuleEditor)
        return;
    shopId = g_shopList.at(index).id;
    const QString text = g_shopList.at(index).goodsfoldernamerule;
    QJsonArray rule;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isNull() && doc.isArray()) {
        rule = doc.array();
    } else {
        qCDebug(lcDesignSplit) << "产品文件夹命名 QString转QJsonArry失败";
        qCDebug(lcDesignSplit) << text;
    }
    storedRule = rule;
    editedRule = rule;
    namingRuleEditor->setRule(rule);
}

QJsonArray FJRightPanel::namingRule() const
{
    return storedRule;
}

void FJRightPanel::saveNamingRule()
{
    if (!hasShop())
        return;
    const QJsonArray rule = editedRule;
    const QString ruleText = rule.isEmpty() ? QString()
                                            : QString::fromUtf8(QJsonDocument(rule).toJson(QJsonDocument::Compact));
    // The reply belongs to the shop the rule was sent for, whatever the
    // combo shows when it arrives.
    const QString sentShopId = shopId;
    const QByteArray body = OrderService::namingRuleBody(ruleText, OrderService::Branch{sentShopId, eid, superId});
    QPointer<FJRightPanel> self(this);
    const OrderService::Action action = OrderService::Action::SaveNamingRule;
    OrderService::send(this, action, body, [self, rule, ruleText, sentShopId](bool ok, const QJsonDocument &doc) {
        if (!self)
            return;
        if (!ok) {
            self->warn(QStringLiteral("提交失败"));
            return;
        }
        const OrderService::Answer answer = OrderService::check(doc, OrderService::TextField::MessageOrMsg);
        if (!answer.ok) {
            self->warn(answer.message);
            return;
        }
        ToastWidget::showToast(self, QStringLiteral("提交成功"), 2000);
        for (ShopInfo &shop : g_shopList) {
            if (shop.id == sentShopId)
                shop.goodsfoldernamerule = ruleText;
        }
        if (self->shopId == sentShopId)
            self->storedRule = rule;
    });
}
