#include "importfiles/importfiles.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "base/sharedfolderopener.h"
#include "importfiles/filebuttondelegate.h"
#include "importfiles/importfilescomboboxdelegate.h"
#include "importfiles/importfiletablemodel.h"
#include "importfiles/jobs/importlog.h"
#include "importfiles/originalview.h"
#include "public/columnfit.h"
#include "public/datepopup.h"
#include "public/ordernumberbuttondelegate.h"
#include "public/rowfeeder.h"
#include "public/tablelook.h"
#include "public/theme.h"
#include "public/toastwidget.h"

namespace {

const QString kStatusHeader = QStringLiteral("照片状态");
const QString kCountHeader = QStringLiteral("本次已选");
const QString kPathHeader = QStringLiteral("导片路径");
const QString kActionHeader = QStringLiteral("操作");
const QString kNumberHeader = QStringLiteral("订单号");

// The tables' style sheet pads an item by 5 px a side, a cell widget too:
// at 8 px the order table's paddings alone took the room a path's end
// needs at 1366 pixels.
constexpr int kItemPadding = 2 * 5;

// What a text column keeps when it gives way: three characters (a whole
// name, a count, a status) and the ellipsis.
int textMinimum(const QTableView *table)
{
    return table->fontMetrics().horizontalAdvance(QStringLiteral("中中中\u2026")) + kItemPadding + 2;
}

QString px(int value)
{
    return K::instance()->scaleText(value);
}

QString fieldStyle(const QString &type)
{
    return Theme::fieldSheet(type, QStringLiteral("4px 10px"), 10, QStringLiteral("color: @text;"));
}

QString comboStyle()
{
    return fieldStyle(QStringLiteral("QComboBox"))
        + QStringLiteral("QComboBox::drop-down { width: 26px; border: none; }")
        + Theme::downArrowSheet(QStringLiteral("QComboBox"), 14)
        + Theme::sheet(QStringLiteral("QComboBox QAbstractItemView { border: 1px solid @border; background-color: white;"
                                      " outline: none; }"));
}

QString dateStyle()
{
    return fieldStyle(QStringLiteral("QDateEdit"))
        + Theme::sheet(QStringLiteral("QDateEdit[readOnly=\"true\"] { background-color: white; color: @text; }"
                                      "QDateEdit::drop-down { width: 26px; background: transparent; border: none; }"))
        + Theme::downArrowSheet(QStringLiteral("QDateEdit"), 14)
        + Theme::sheet(QStringLiteral("QCalendarWidget QToolButton { background-color: @lightFace; color: @text; }"
                                      "QCalendarWidget QToolButton:hover { background-color: @selection; }"
                                      "QCalendarWidget QAbstractItemView { selection-background-color: @accent; }"));
}

QString tableStyle(const QString &type)
{
    return Theme::sheet(type + QStringLiteral(" { font-size: ") + px(11)
        + QStringLiteral("px; border: 1px solid @border; border-radius: 6px; background-color: white;"
                         " alternate-background-color: @importAlternateRow; color: @text; }")
        + type + QStringLiteral("::item { padding: 8px 5px; }") + type
        + QStringLiteral("::item:selected { background-color: @selection; }") + type
        + QStringLiteral("::item:hover { background-color: @rowHover; }") + type
        // The cell under the pointer (the one just clicked) keeps its
        // selected row's blue instead of a grey patch in it.
        + QStringLiteral("::item:selected:hover { background-color: @selection; }"
                         "QHeaderView::section { background-color: @lightFace; border: none;"
                         " border-bottom: 1px solid @border; padding: 6px; font-weight: 600; color: @text;"
                         " font-size: ")
        + px(11) + QStringLiteral("px; }") + TableLook::thinScrollBars());
}

QString searchButtonStyle()
{
    return Theme::sheet(QStringLiteral("QPushButton { background-color: @importBlue; color: white; border: none; border-radius: 6px;"
                                       " font-size: ")
        + px(10)
        + QStringLiteral("px; font-weight: 600; }"
                         "QPushButton:hover { background-color: @importBlueHover; }"
                         "QPushButton:pressed { background-color: @importBlueDeep; }"));
}

// Both tables of the window: whole rows, one at a time, read-only, no grid.
void setUpTable(QTableView *table, const QString &type, int rowHeight)
{
    table->setStyleSheet(tableStyle(type));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(rowHeight);
    table->setShowGrid(false);
    // One line a cell, cut with an ellipsis: a wrapped name or path in a
    // narrow column showed two or three broken lines. Cut at the start: a
    // path's last folders and a file's number and suffix are what tell the
    // rows apart.
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideLeft);
    // A selected row keeps its status colours; a clicked cell draws no box.
    TableLook::keepItemColours(table);
}

void styleCombo(QComboBox *combo, QObject *owner)
{
    // Never narrower than its longest item: a set minimum width replaces
    // the content's one, and a narrow pane squeezed "基本信息" to "基2".
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo->setStyleSheet(comboStyle());
    combo->setItemDelegate(new ImportFilesComboBoxDelegate(owner));
    combo->ensurePolished();
    combo->setMinimumWidth(qMax(combo->minimumWidth(), combo->sizeHint().width()));
}

struct StatusLook
{
    const char *text;
    Theme::Colour colour;
};

const StatusLook kStatusLooks[] = {
    {"未选择", Theme::textFaint},
    {"已选择", Theme::accent},
    {"导入中", Theme::importBusy},
    {"导入完成", Theme::importDone},
    {"导入失败", Theme::importFailed},
};

} // namespace

ImportFiles::ImportFiles(QWidget *parent)
    : QMainWindow(parent)
    , m_cancel(std::make_shared<std::atomic_bool>(false))
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ImportFiles"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("Form"));
    qRegisterMetaType<ImportFile>("ImportFile");
    qRegisterMetaType<ImportOrder>("ImportOrder");
    folderOpener = new SharedFolderOpener(this);
    threadPool = new QThreadPool(this);
    threadPool->setMaxThreadCount(4);
    listingPool = new QThreadPool(this);
    listingPool->setMaxThreadCount(1);
    m_rowFeeder = new RowFeeder(this);
}

ImportFiles::~ImportFiles()
{
    closing = true;
    m_rowFeeder->cancel();
    stopAllImports();
    // Running jobs report to this window: it stays until every one is done.
    threadPool->waitForDone();
    listingPool->waitForDone();
}

void ImportFiles::setImportType(int type)
{
    importType = type == Retouched ? Retouched : Originals;
    buildUi();
    if (importType == Originals) {
        originalView = new OriginalView(this);
        originalView->setObjectName(QStringLiteral("originalView"));
        originalView->initUi();
        rightLayout->addWidget(originalView, 1);
    }
}

void ImportFiles::buildUi()
{
    if (!g_shopList.isEmpty())
        shopId = g_shopList.first().id;

    auto *central = new QWidget(this);
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    splitter = new QSplitter(Qt::Horizontal, central);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setStyleSheet(Theme::sheet(QStringLiteral("QSplitter::handle {    background-color: @border;    width: 1px;}")));
    QWidget *left = buildLeftPanel();
    QWidget *right = buildRightPanel();
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    // Sizes the user gives the panes stay theirs.
    connect(splitter, &QSplitter::splitterMoved, this, [this]() { splitterSized = true; });
    layout->addWidget(splitter);
    setCentralWidget(central);
    onSearchTypeChanged(0);
}

QWidget *ImportFiles::buildLeftPanel()
{
    K *k = K::instance();
    auto *panel = new QWidget(this);
    panel->setStyleSheet(Theme::sheet(QStringLiteral("background-color: @panel;")));
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(10);

    auto *bar = new QHBoxLayout();
    bar->setSpacing(8);
    auto *branchLabel = new QLabel(QStringLiteral("分店选择:"), panel);
    branchLabel->setStyleSheet(Theme::captionSheet(12));
    branchCombo = new QComboBox(panel);
    branchCombo->setObjectName(QStringLiteral("branchCombo"));
    branchCombo->setFixedHeight(k->scale(30));
    branchCombo->setMinimumWidth(k->scale(100));
    for (const ShopInfo &shop : qAsConst(g_shopList))
        branchCombo->addItem(shop.name);
    styleCombo(branchCombo, this);

    auto *typeLabel = new QLabel(QStringLiteral("搜索类型:"), panel);
    typeLabel->setStyleSheet(Theme::captionSheet(12));
    searchTypeCombo = new QComboBox(panel);
    searchTypeCombo->setObjectName(QStringLiteral("searchTypeCombo"));
    searchTypeCombo->setFixedHeight(k->scale(30));
    searchTypeCombo->setMinimumWidth(k->scale(60));
    searchTypeCombo->addItems({QStringLiteral("基本信息"), QStringLiteral("拍照日期"), QStringLiteral("选片日期")});
    styleCombo(searchTypeCombo, this);

    keywordEdit = new QLineEdit(panel);
    keywordEdit->setObjectName(QStringLiteral("keywordEdit"));
    keywordEdit->setPlaceholderText(QStringLiteral("搜索订单号、姓名、电话..."));
    keywordEdit->setFixedHeight(k->scale(30));
    keywordEdit->setMinimumWidth(k->scale(150));
    keywordEdit->setStyleSheet(fieldStyle(QStringLiteral("QLineEdit")));

    DatePopupLook look;
    look.ownCalendarSize = QSize(320, 360);
    look.popupSize = QSize(k->scale(160), k->scale(180));
    look.popupStyleSheet = DatePopup::transferPopupStyle();
    look.popupPalette = true;
    look.palettePass = true;
    auto *datePopup = new DatePopup(look, this);
    const auto makeDateEdit = [&](const QString &name, const QString &tip) {
        auto *edit = new QDateEdit(QDate::currentDate(), panel);
        edit->setObjectName(name);
        edit->setFixedHeight(k->scale(30));
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setReadOnly(true);
        edit->setStyleSheet(dateStyle());
        edit->setToolTip(tip);
        edit->hide();
        datePopup->attach(edit);
        return edit;
    };
    shootDateEdit = makeDateEdit(QStringLiteral("shootDateEdit"), QStringLiteral("点击选择拍照日期"));
    selectDateEdit = makeDateEdit(QStringLiteral("selectDateEdit"), QStringLiteral("点击选择选片日期"));

    searchButton = new QPushButton(QStringLiteral("搜索"), panel);
    searchButton->setObjectName(QStringLiteral("searchButton"));
    searchButton->setFixedSize(k->scale(60), k->scale(30));
    searchButton->setCursor(Qt::PointingHandCursor);
    searchButton->setStyleSheet(searchButtonStyle());

    bar->addWidget(branchLabel);
    bar->addWidget(branchCombo);
    bar->addSpacing(10);
    bar->addWidget(typeLabel);
    bar->addWidget(searchTypeCombo);
    bar->addWidget(keywordEdit, 1);
    bar->addWidget(shootDateEdit, 1);
    bar->addWidget(selectDateEdit, 1);
    bar->addWidget(searchButton);

    // Filled above, connected here: building the combos is no change.
    connect(branchCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ImportFiles::onBranchSelectionChanged);
    connect(searchTypeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ImportFiles::onSearchTypeChanged);
    connect(keywordEdit, &QLineEdit::returnPressed, this, &ImportFiles::onSearchClick);
    connect(searchButton, &QPushButton::clicked, this, &ImportFiles::onSearchClick);

    buildOrderTable();

    startAllButton = new QPushButton(QStringLiteral("开始全部导入"), panel);
    startAllButton->setObjectName(QStringLiteral("startAllButton"));
    startAllButton->setFixedHeight(k->scale(36));
    startAllButton->setCursor(Qt::PointingHandCursor);
    setRunning(false);
    connect(startAllButton, &QPushButton::clicked, this, &ImportFiles::onStartAllClicked);
    auto *bottom = new QHBoxLayout();
    bottom->addStretch(1);
    bottom->addWidget(startAllButton);

    layout->addLayout(bar);
    layout->addWidget(m_orderTable, 1);
    layout->addLayout(bottom);
    return panel;
}

void ImportFiles::buildOrderTable()
{
    K *k = K::instance();
    headerLabels = QStringList{kNumberHeader, QStringLiteral("男姓名"), QStringLiteral("女姓名"), QStringLiteral("摄影师")};
    if (importType == Retouched) {
        headerLabels << QStringLiteral("已导精修");
    } else {
        headerLabels << QStringLiteral("已导原片") << QStringLiteral("已导原始档");
    }
    headerLabels << QStringLiteral("化妆师") << kCountHeader << kStatusHeader << kActionHeader << kPathHeader;

    m_orderTable = new QTableWidget(this);
    m_orderTable->setObjectName(QStringLiteral("orderTable"));
    m_orderTable->setColumnCount(headerLabels.size());
    m_orderTable->setHorizontalHeaderLabels(headerLabels);
    setUpTable(m_orderTable, QStringLiteral("QTableWidget"), k->scale(45));
    m_orderTable->setSortingEnabled(false);
    // Widths are set by fitOrderColumns from the texts measured as the
    // cells are written: a header fitting its columns to their contents
    // measures every row at each change, which stalls on a long list.
    QHeaderView *header = m_orderTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(columnOf(kNumberHeader), QHeaderView::Interactive);
    m_orderTable->ensurePolished();
    m_contentWidths = QVector<int>(headerLabels.size(), 0);
    m_cellPaddings = QVector<int>(headerLabels.size(), -1);
    for (int column = 0; column < headerLabels.size(); ++column)
        m_contentWidths[column] = header->sectionSizeHint(column);
    m_orderTable->viewport()->installEventFilter(this);
    orderNumberDelegate = new OrderNumberButtonDelegate(this);
    m_orderTable->setItemDelegateForColumn(columnOf(kNumberHeader), orderNumberDelegate);
    connect(orderNumberDelegate, &OrderNumberButtonDelegate::orderNumberClicked, this,
            &ImportFiles::onOrderNumberClicked);
    connect(m_orderTable, &QTableWidget::itemSelectionChanged, this, &ImportFiles::onOrderTableSelectionChanged);
    // Button strips only for the rows in view: a cell widget per row of a
    // long list is thousands of widgets, each moved on every scroll.
    connect(m_orderTable->verticalScrollBar(), &QScrollBar::valueChanged, this, &ImportFiles::placeRowButtons);
    fitOrderColumns();
}

bool ImportFiles::isRowNearView(int row) const
{
    const int rowHeight = qMax(1, m_orderTable->verticalHeader()->defaultSectionSize());
    const int spare = kSpareStripRows * rowHeight;
    const int top = m_orderTable->rowViewportPosition(row);
    return top + rowHeight >= -spare && top <= m_orderTable->viewport()->height() + spare;
}

void ImportFiles::placeRowButtons()
{
    const int column = columnOf(kActionHeader);
    if (column < 0 || !m_orderTable)
        return;
    for (auto it = m_stripRows.begin(); it != m_stripRows.end();) {
        if (*it >= orders.size() || !isRowNearView(*it)) {
            m_orderTable->removeCellWidget(*it, column);
            it = m_stripRows.erase(it);
        } else {
            ++it;
        }
    }
    const int rowHeight = qMax(1, m_orderTable->verticalHeader()->defaultSectionSize());
    const int first = qMax(0, m_orderTable->rowAt(0) - kSpareStripRows);
    const int last = qMin(orders.size() - 1, first + m_orderTable->viewport()->height() / rowHeight + 2 * kSpareStripRows + 1);
    for (int row = first; row <= last; ++row) {
        if (!m_stripRows.contains(row) && isRowNearView(row)) {
            makeFileButtons(row);
            m_stripRows.insert(row);
        }
    }
}

bool ImportFiles::eventFilter(QObject *watched, QEvent *event)
{
    if (m_orderTable && watched == m_orderTable->viewport() && event->type() == QEvent::Resize) {
        fitOrderColumns();
        placeRowButtons();
    }
    return QMainWindow::eventFilter(watched, event);
}

void ImportFiles::noteCellText(int row, int column, const QString &text)
{
    if (column < 0 || column >= m_contentWidths.size())
        return;
    if (m_cellPaddings.at(column) < 0) {
        // The delegate's size hint holds the style sheet's paddings (and the
        // link's font for the order number); measured once per column, the
        // rest is the text's advance. The slack keeps the last glyph whole
        // where a hinted font draws a pixel wider than it measures.
        const QModelIndex index = m_orderTable->model()->index(row, column);
        if (!index.isValid())
            return;
        m_cellPaddings[column] = qMax(0, m_orderTable->sizeHintForIndex(index).width()
                                             - m_orderTable->fontMetrics().horizontalAdvance(index.data().toString()))
            + K::instance()->scale(4);
    }
    const int wanted = m_orderTable->fontMetrics().horizontalAdvance(text) + m_cellPaddings.at(column);
    // Widths only grow, so a long list fits its columns a few times, not
    // once per row.
    if (wanted > m_contentWidths.at(column)) {
        m_contentWidths[column] = wanted;
        fitOrderColumns();
    }
}

void ImportFiles::fitOrderColumns()
{
    if (!m_orderTable || m_contentWidths.size() != headerLabels.size())
        return;
    K *k = K::instance();
    const int columns = headerLabels.size();
    const int available = m_orderTable->viewport()->width();
    const int pathColumn = columnOf(kPathHeader);
    const int actionColumn = columnOf(kActionHeader);
    // A text column keeps three characters and the ellipsis, or its whole
    // text when that is shorter.
    const int textLeast = textMinimum(m_orderTable);

    QVector<int> wanted(columns);
    QVector<int> least(columns);
    for (int column = 0; column < columns; ++column) {
        if (column == actionColumn) {
            wanted[column] = k->scale(200);
            // The buttons of the strip side by side.
            // Before the first strip is made its width is not known: the
            // panes are sized on the first show, so its whole room is kept.
            least[column] = m_stripWidth > 0 ? qMin(wanted.at(column), m_stripWidth + kItemPadding) : wanted.at(column);
        } else if (column == pathColumn) {
            wanted[column] = k->scale(500);
            // The end of a path: the order's own folder (its number) after
            // the ellipsis.
            least[column] = m_orderTable->fontMetrics().horizontalAdvance(QStringLiteral("\u2026DD20240601001-1"))
                + kItemPadding + 2;
        } else {
            wanted[column] = m_contentWidths.at(column);
            // Room for an order number as the service makes them before
            // any is listed: the panes are sized on the first show.
            if (headerLabels.at(column) == kNumberHeader)
                wanted[column] = qMax(wanted.at(column),
                                      m_orderTable->fontMetrics().horizontalAdvance(QStringLiteral("DD20240601001-1"))
                                          + kItemPadding + k->scale(4));
            least[column] = qMin(wanted.at(column), textLeast);
            // The status is what the user reads the row for: never cut.
            if (headerLabels.at(column) == kStatusHeader)
                least[column] = wanted.at(column);
        }
    }
    // The pane the table needs at least: the order number whole, the least
    // of every other column, the scroll bar and the frame.
    m_leastTableWidth = m_orderTable->width() - available;
    for (int column = 0; column < columns; ++column)
        m_leastTableWidth += headerLabels.at(column) == kNumberHeader ? wanted.at(column) : least.at(column);

    // The path gives way first, then the people's names, then the counts,
    // then the room the row's buttons leave empty, the order number last
    // (the status and the buttons themselves never).
    static const QStringList kNames{QStringLiteral("男姓名"), QStringLiteral("女姓名"), QStringLiteral("摄影师"),
                                    QStringLiteral("化妆师")};
    QVector<ColumnFit::Column> fit(columns);
    for (int column = 0; column < columns; ++column) {
        int level = 3;
        if (column == pathColumn)
            level = 1;
        else if (kNames.contains(headerLabels.at(column)))
            level = 2;
        else if (column == actionColumn)
            level = 4;
        else if (headerLabels.at(column) == kNumberHeader)
            level = 5;
        fit[column] = {wanted.at(column), least.at(column), level};
    }
    const QVector<int> widths = ColumnFit::widths(fit, available, false);
    for (int column = 0; column < columns; ++column) {
        if (m_orderTable->columnWidth(column) != widths.at(column))
            m_orderTable->setColumnWidth(column, widths.at(column));
    }
}

QWidget *ImportFiles::buildRightPanel()
{
    K *k = K::instance();
    auto *panel = new QWidget(this);
    panel->setStyleSheet(Theme::sheet(QStringLiteral("background-color: @panel;")));
    rightLayout = new QVBoxLayout(panel);
    // Narrow edges: at 1366 pixels this pane is as wide as the originals'
    // bar, and every pixel it takes is the order table's.
    rightLayout->setContentsMargins(6, 10, 6, 10);
    rightLayout->setSpacing(10);
    auto *title = new QLabel(QStringLiteral("待导入文件列表"), panel);
    title->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { font-size: ") + px(14)
                                      + QStringLiteral("px; font-weight: 600; color: @text; padding: 5px 0; }")));

    fileModel = new ImportFileTableModel(this);
    fileTableView = new QTableView(panel);
    fileTableView->setObjectName(QStringLiteral("fileTableView"));
    fileTableView->setModel(fileModel);
    setUpTable(fileTableView, QStringLiteral("QTableView"), k->scale(40));
    fileTableView->setMouseTracking(true);
    QHeaderView *header = fileTableView->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    fileTableView->ensurePolished();
    // The pane has the narrow side of a laptop's screen: the path gives way
    // first, then the retry button's spare room, then the name; the status
    // keeps its header's width. The retry button stays on screen.
    auto *columnFit = new ColumnFit(fileTableView, {{k->scale(150), textMinimum(fileTableView), 3},
                                                    {header->sectionSizeHint(1), header->sectionSizeHint(1), 4},
                                                    {k->scale(100), k->scale(70), 2},
                                                    {k->scale(400), k->scale(40), 1}});
    // The status is fitted to its texts, but never so wide that a long
    // failure text pushes the retry buttons out of sight (the full text is
    // the tooltip). Thousands of rows: a screenful is measured, once per
    // turn of the loop.
    header->setResizeContentsPrecision(50);
    auto *fit = new QTimer(this);
    fit->setSingleShot(true);
    fit->setInterval(0);
    connect(fit, &QTimer::timeout, this, [this, columnFit]() {
        const QAbstractItemView *view = fileTableView;
        const int wanted = qMax(view->sizeHintForColumn(1), fileTableView->horizontalHeader()->sectionSizeHint(1));
        columnFit->setPreferred(1, qMin(wanted, K::instance()->scale(260)));
    });
    connect(fileModel, &QAbstractItemModel::modelReset, fit, QOverload<>::of(&QTimer::start));
    connect(fileModel, &QAbstractItemModel::dataChanged, fit, QOverload<>::of(&QTimer::start));
    fileButtonDelegate = new FileButtonDelegate(this);
    fileTableView->setItemDelegateForColumn(2, fileButtonDelegate);
    connect(fileButtonDelegate, &FileButtonDelegate::retryClicked, this, &ImportFiles::onRetryImportClicked);

    rightLayout->addWidget(title);
    rightLayout->addWidget(fileTableView, 1);
    return panel;
}

void ImportFiles::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    halveSplitter();
    if (!noShopSaid && shopId.isEmpty()) {
        noShopSaid = true;
        // Once the window stands: the box is shown over it, not before it.
        QTimer::singleShot(0, this, [this]() {
            if (!closing)
                warn(QStringLiteral("温馨提示"), OrderService::noShopText());
        });
    }
}

void ImportFiles::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    // The chooser shows the window at its small built size and maximises it
    // after: at the built size the left pane's minimum width leaves no room
    // for halves, so the first sizes are set once the window is shown at a
    // size that holds them.
    if (isVisible())
        halveSplitter();
}

void ImportFiles::halveSplitter()
{
    if (splitterSized || !splitter || splitter->width() <= 0)
        return;
    // Halves, unless the order table cannot hold its columns in half the
    // window (a laptop screen): its pane then takes what it needs.
    const int left = qMax(splitter->width() / 2, leftPaneNeeds());
    splitter->setSizes({left, splitter->width() - splitter->handleWidth() - left});
    const QList<int> sizes = splitter->sizes();
    splitterSized = sizes.size() == 2 && qAbs(sizes.at(0) - left) <= 1;
}

int ImportFiles::leftPaneNeeds() const
{
    if (!m_orderTable || m_leastTableWidth <= 0)
        return 0;
    QWidget *pane = splitter->widget(0);
    // The table and the pane's margins around it.
    return m_leastTableWidth + pane->width() - m_orderTable->width();
}

int ImportFiles::columnOf(const QString &header) const
{
    return headerLabels.indexOf(header);
}

QTableWidgetItem *ImportFiles::cellItem(int row, const QString &header) const
{
    const int column = columnOf(header);
    if (!m_orderTable || row < 0 || row >= m_orderTable->rowCount() || column < 0)
        return nullptr;
    return m_orderTable->item(row, column);
}

void ImportFiles::setCellText(int row, const QString &header, const QString &text)
{
    if (QTableWidgetItem *item = cellItem(row, header)) {
        item->setText(text);
        item->setToolTip(text);
        noteCellText(row, item->column(), text);
    }
}

QString ImportFiles::cellText(int row, const QString &header) const
{
    const QTableWidgetItem *item = cellItem(row, header);
    return item ? item->text() : QString();
}

void ImportFiles::setPhotoStatus(int row, const QString &text)
{
    QTableWidgetItem *item = cellItem(row, kStatusHeader);
    if (!item)
        return;
    item->setText(text);
    noteCellText(row, item->column(), text);
    for (const StatusLook &look : kStatusLooks) {
        if (text == QString::fromUtf8(look.text)) {
            item->setForeground(look.colour.color());
            break;
        }
    }
}

void ImportFiles::setSelectedCount(int row, int count)
{
    setCellText(row, kCountHeader, QString::number(count));
    setPhotoStatus(row, count < 1 ? QStringLiteral("未选择") : QStringLiteral("已选择"));
}

void ImportFiles::setImportPath(int row, const QString &path)
{
    setCellText(row, kPathHeader, path);
}

void ImportFiles::showOrderFiles(int row)
{
    if (row < 0 || row >= orders.size()) {
        fileModel->clear();
        return;
    }
    fileModel->setFiles(orders.at(row).files);
}

void ImportFiles::clearOrders()
{
    m_rowFeeder->cancel();
    m_stripRows.clear();
    orders.clear();
    m_orderTable->setRowCount(0);
    currentRow = -1;
    fileModel->clear();
}

void ImportFiles::appendOrderRow(const ImportOrder &order)
{
    const int row = m_orderTable->rowCount();
    m_orderTable->insertRow(row);
    ImportOrder copy = order;
    copy.row = row;
    addOrderRow(copy, row);
}

void ImportFiles::clearFileTable()
{
    fileModel->clear();
}

void ImportFiles::updateFileRow(int index, int status, const QString &message)
{
    fileModel->updateFileStatus(index, status, message);
}

void ImportFiles::addOrderRow(const ImportOrder &order, int row)
{
    orders.append(order);
    for (int column = 0; column < headerLabels.size(); ++column) {
        const QString &header = headerLabels.at(column);
        QString text;
        if (header == kNumberHeader)
            text = order.orderpayforkey + QLatin1Char('-') + order.servicetimes;
        else if (header == QStringLiteral("男姓名"))
            text = order.mname;
        else if (header == QStringLiteral("女姓名"))
            text = order.wname;
        else if (header == QStringLiteral("摄影师"))
            text = order.role1;
        else if (header == QStringLiteral("已导原片"))
            text = order.number_yuanpian;
        else if (header == QStringLiteral("已导精修"))
            text = order.number_jingxiu;
        else if (header == QStringLiteral("已导原始档"))
            text = order.number_yuanshidang;
        else if (header == QStringLiteral("化妆师"))
            text = order.role2;
        else if (header == kCountHeader)
            text = QString::number(order.files.size());
        else if (header == kStatusHeader)
            text = QStringLiteral("未选择");
        else if (header == kActionHeader) {
            if (isRowNearView(row)) {
                makeFileButtons(row);
                m_stripRows.insert(row);
            }
            continue;
        } else if (header == kPathHeader) {
            auto *path = new QTableWidgetItem(order.importPath);
            path->setToolTip(order.importPath);
            m_orderTable->setItem(row, column, path);
            continue;
        } else {
            continue;
        }
        auto *item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignCenter);
        // A narrow pane ends a long text in an ellipsis; the whole text
        // stays at hand.
        item->setToolTip(text);
        if (header == kStatusHeader)
            item->setForeground(Theme::textFaint.color());
        m_orderTable->setItem(row, column, item);
        noteCellText(row, column, text);
    }
}

void ImportFiles::warn(const QString &title, const QString &text)
{
    ModalBox::showMessage(this, QMessageBox::Warning, title, text);
}

bool ImportFiles::isOrderAt(int row, const QString &orderPhotoId) const
{
    return row >= 0 && row < orders.size() && orders.at(row).order_photo_id == orderPhotoId;
}

void ImportFiles::onSearchTypeChanged(int index)
{
    keywordEdit->hide();
    shootDateEdit->hide();
    selectDateEdit->hide();
    if (index == 1)
        shootDateEdit->show();
    else if (index == 2)
        selectDateEdit->show();
    else
        keywordEdit->show();
}

void ImportFiles::onBranchSelectionChanged(int index)
{
    if (index < 0 || index >= g_shopList.size())
        return;
    shopId = g_shopList.at(index).id;
    qCDebug(lcImport) << "选择了分店:" << branchCombo->currentText();
}

void ImportFiles::onSearchClick()
{
    if (importing) {
        warn(QStringLiteral("温馨提示"), QStringLiteral("导片中..."));
        return;
    }
    if (refuseWithoutShop())
        return;
    const int seq = ++m_searchSeq;
    OrderService::send(this, OrderService::Action::SwitchShop, OrderService::switchShopBody(shopId),
                       [this, seq](bool ok, const QJsonDocument &reply) { onSwitchShopReply(seq, ok, reply); });
}

bool ImportFiles::refuseWithoutShop()
{
    if (!shopId.isEmpty())
        return false;
    warn(QStringLiteral("温馨提示"), OrderService::noShopText());
    return true;
}

void ImportFiles::onSwitchShopReply(int seq, bool ok, const QJsonDocument &reply)
{
    if (closing || seq != m_searchSeq || !ok)
        return;
    const OrderService::Answer answer = OrderService::check(reply, OrderService::TextField::Msg);
    if (!answer.ok) {
        warn(QStringLiteral("温馨提示"), answer.message);
        return;
    }
    const OrderService::Branch switched = OrderService::switchedBranch(shopId, reply.object());
    superId = switched.superId;
    eid = switched.eid;
    reqOrderList(seq);
}

void ImportFiles::reqOrderList(int seq)
{
    OrderService::OrderQuery query;
    switch (searchTypeCombo->currentIndex()) {
    case 1:
        query.keyword = shootDateEdit->date().toString(QStringLiteral("yyyy-MM-dd"));
        query.searchBy = OrderService::SearchBy::ShotDate;
        break;
    case 2:
        query.keyword = selectDateEdit->date().toString(QStringLiteral("yyyy-MM-dd"));
        query.searchBy = OrderService::SearchBy::SelectDate;
        break;
    default:
        query.keyword = keywordEdit->text();
        query.searchBy = OrderService::SearchBy::Keyword;
        break;
    }
    const ImportReport::Branch branch{shopId, eid, superId};
    OrderService::send(this, OrderService::Action::OrderList, OrderService::orderListBody(query, branch),
                       [this, seq, branch](bool ok, const QJsonDocument &reply) {
                           onOrderListReply(seq, branch, ok, reply);
                       });
}

void ImportFiles::onOrderListReply(int seq, const ImportReport::Branch &branch, bool ok, const QJsonDocument &reply)
{
    if (closing || seq != m_searchSeq || !ok)
        return;
    const OrderService::Answer answer = OrderService::check(reply);
    if (!answer.ok) {
        warn(QStringLiteral("温馨提示"), answer.message);
        return;
    }
    const QJsonObject object = reply.object();
    const QJsonArray data = object.value(QStringLiteral("data")).toArray();
    if (data.isEmpty()) {
        warn(QStringLiteral("温馨提示"), QStringLiteral("未检索到订单"));
        return;
    }

    // The rows about to go may have copies under way (a run started while
    // the search was answered, or retries): they end first.
    if (importing)
        stopRun();
    stopAllImports();
    m_deferred.clear();

    clearOrders();
    listedBranch = branch;
    openypml = object.value(QStringLiteral("openypml")).toInt(0);
    delyp = object.value(QStringLiteral("delyp")).toInt(0);
    // Thousands of orders are read and added a slice at a time, so the
    // window answers while they arrive. Every row added is a whole order:
    // the table and `orders` have the same rows at every turn, and
    // selecting, picking and importing work on the rows already there.
    m_rowFeeder->start(data.size(), [this, data](int i) {
        ImportOrder order = ImportRecords::orderFromJson(data.at(i).toObject(), i);
        order.pickGeneration = ++m_generation;
        m_orderTable->setRowCount(i + 1);
        addOrderRow(order, i);
    });
}

void ImportFiles::onOrderTableSelectionChanged()
{
    const QList<QTableWidgetItem *> selected = m_orderTable->selectedItems();
    int row = -1;
    if (!selected.isEmpty()) {
        row = selected.first()->row();
    } else {
        const QModelIndexList rows = m_orderTable->selectionModel()->selectedRows();
        if (!rows.isEmpty())
            row = rows.first().row();
    }
    if (row < 0) {
        currentRow = -1;
        fileModel->clear();
        return;
    }
    if (row == currentRow || row >= orders.size())
        return;
    currentRow = row;
    showOrderFiles(row);
    const ImportOrder &order = orders.at(row);
    emit orderSelectionChanged(row, order);
    if (importType == Originals && originalView) {
        QMap<QString, QString> map;
        map.insert(QStringLiteral("id"), order.id);
        map.insert(QStringLiteral("orderid"), order.id);
        map.insert(QStringLiteral("order_photo_id"), order.order_photo_id);
        map.insert(QStringLiteral("orderpayforkey"), order.orderpayforkey);
        map.insert(QStringLiteral("servicetimes"), order.servicetimes);
        map.insert(QStringLiteral("wname"), order.wname);
        map.insert(QStringLiteral("mname"), order.mname);
        map.insert(QStringLiteral("comboname"), order.comboname);
        map.insert(QStringLiteral("shotdate"), order.shotdate);
        map.insert(QStringLiteral("role1name"), order.role1);
        map.insert(QStringLiteral("shopid"), listedBranch.shopId);
        map.insert(QStringLiteral("delyp"), QString::number(delyp));
        // The folder a pick would settle: the view deletes nothing outside it.
        ImportOrder settled = order;
        map.insert(QStringLiteral("importPath"), ImportRecords::settleOrderFolder(&settled));
        originalView->setOrder(map);
    }
}

void ImportFiles::onOrderNumberClicked(int row, QString)
{
    if (row < 0 || row >= orders.size())
        return;
    QApplication::clipboard()->setText(orders.at(row).orderpayforkey);
    ToastWidget::showToast(this, QStringLiteral("订单号已复制"), 2000);
}
