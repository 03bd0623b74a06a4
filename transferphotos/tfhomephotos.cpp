#include "transferphotos/tfhomephotos.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "base/k.h"
#include "public/theme.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"
#include "transferphotos/jobs/tflog.h"
#include "base/orderreplies.h"
#include "transferphotos/jobs/tfthumbnailthread.h"

namespace {

QString s(int px)
{
    return K::instance()->scaleText(px);
}

int sc(int px)
{
    return K::instance()->scale(px);
}

} // namespace

// ---------------------------------------------------------------- PhotoItem

PhotoItem::PhotoItem(const PhotoInfo &entry, QWidget *parent)
    : QFrame(parent)
    , photo(entry)
{
    setupUI();
}

PhotoItem::~PhotoItem() = default;

QString PhotoItem::statusSymbol(int status)
{
    switch (status) {
    case 0:
        return QStringLiteral("✓");
    case 1:
        return QStringLiteral("●");
    case 2:
        return QStringLiteral("✕");
    default:
        return QStringLiteral("?");
    }
}

QString PhotoItem::statusColor(int status)
{
    switch (status) {
    case 0:
        return Theme::pickedDone.name();
    case 1:
        return Theme::pickedWaiting.name();
    case 2:
        return Theme::pickedFailed.name();
    default:
        return Theme::pickedOther.name();
    }
}

QString PhotoItem::badgeText() const
{
    return statusLabel ? statusLabel->text() : QString();
}

void PhotoItem::setupUI()
{
    setObjectName(QStringLiteral("photoItem"));
    setFixedSize(sc(90), sc(120));
    applyCardStyle();

    cardLayout = new QVBoxLayout(this);
    cardLayout->setContentsMargins(sc(6), sc(6), sc(6), sc(6));
    cardLayout->setSpacing(sc(4));

    thumbnailLabel = new QLabel(this);
    thumbnailLabel->setObjectName(QStringLiteral("thumbnailLabel"));
    thumbnailLabel->setFixedSize(sc(78), sc(59));
    thumbnailLabel->setAlignment(Qt::AlignCenter);
    if (!photo.thumbnail.isNull()) {
        showPicture();
    } else {
        thumbnailLabel->setText(QStringLiteral("📷\n无预览"));
        thumbnailLabel->setStyleSheet(Theme::sheet(
            QStringLiteral("QLabel {    background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 @slateTop, stop:1 @slate);"
                           "    border: 1px solid @slateFrame;    border-radius: ")
            + s(4) + QStringLiteral("px;    color: @slateText;    font-size: ") + s(8)
            + QStringLiteral("px;    font-weight: 500;}")));
    }

    nameLabel = new QLabel(this);
    nameLabel->setObjectName(QStringLiteral("nameLabel"));
    nameLabel->setWordWrap(true);
    nameLabel->setAlignment(Qt::AlignCenter);
    const QString name = photo.img_name;
    nameLabel->setText(name.size() > 20 ? name.left(17) + QStringLiteral("...") : name);
    nameLabel->setToolTip(name);
    nameLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel {    font-size: ") + s(8)
                                          + QStringLiteral("px;    color: @pickedName;    font-weight: 600;    background-color: transparent;"
                                                           "    border: none;    padding: ")
                                          + s(1) + QStringLiteral("px ") + s(2) + QStringLiteral("px;}")));

    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setAlignment(Qt::AlignCenter);
    statusLabel->setText(statusSymbol(photo.importFlag));
    applyStatusBadgeStyle(photo.importFlag);

    retryButton = new QPushButton(QStringLiteral("🔄 重新上传"), this);
    retryButton->setFixedHeight(sc(14));
    retryButton->setStyleSheet(Theme::sheet(
        QStringLiteral("QPushButton {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @smallDanger, stop:1 @smallDangerBottom);"
                       "    color: white;    border: none;    border-radius: ")
        + s(3) + QStringLiteral("px;    font-size: ") + s(8) + QStringLiteral("px;    font-weight: 600;    padding: ") + s(2)
        + QStringLiteral("px ") + s(4)
        + QStringLiteral("px;}QPushButton:hover {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @smallDangerHover, stop:1 @smallDangerHoverBottom);}"
                         "QPushButton:pressed {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @smallDangerHoverBottom, stop:1 @smallDangerPressedBottom);}")));
    retryButton->hide();
    connect(retryButton, &QPushButton::clicked, this, &PhotoItem::onRetryClicked);

    cardLayout->addWidget(thumbnailLabel);
    cardLayout->addWidget(nameLabel);
    cardLayout->addWidget(retryButton);
    cardLayout->addStretch();

    QTimer::singleShot(0, this, [this]() { placeBadge(); });
}

void PhotoItem::placeBadge()
{
    if (!statusLabel)
        return;
    statusLabel->setGeometry(width() - sc(15), height() - sc(15), sc(10), sc(10));
    statusLabel->raise();
}

void PhotoItem::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    placeBadge();
}

void PhotoItem::applyStatusBadgeStyle(int status)
{
    const QString box = QStringLiteral("    min-width: ") + s(10) + QStringLiteral("px;    max-width: ") + s(10)
                        + QStringLiteral("px;    min-height: ") + s(10) + QStringLiteral("px;    max-height: ") + s(10)
                        + QStringLiteral("px;}");
    if (status == 1) {
        statusLabel->setStyleSheet(Theme::sheet(
            QStringLiteral("QLabel {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @slateLight, stop:1 @slate);"
                           "    color: @slateText;    font-size: ")
            + s(8) + QStringLiteral("px;    font-weight: 600;    border: 1px solid @slateFrame;    border-radius: ") + s(4)
            + QStringLiteral("px;") + box));
    } else {
        const QString gradient = Theme::sheet(status == 2 ? QStringLiteral("stop:0 @badgeFailedTop, stop:1 @badgeFailed")
                                                          : QStringLiteral("stop:0 @badgeDoneTop, stop:1 @badgeDone"));
        statusLabel->setStyleSheet(QStringLiteral("QLabel {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, ") + gradient
                                   + QStringLiteral(");    color: white;    font-size: ") + s(8)
                                   + QStringLiteral("px;    font-weight: 700;    border-radius: ") + s(4)
                                   + QStringLiteral("px;    border: none;") + box);
    }
    placeBadge();
}

void PhotoItem::applyCardStyle()
{
    if (photo.importFlag == 0) {
        setStyleSheet(Theme::sheet(QStringLiteral("QFrame {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @panel, stop:1 @lightFace);"
                                                  "    border: ")
                                   + s(1) + QStringLiteral("px solid @badgeDone;    border-radius: ") + s(6) + QStringLiteral("px;    margin: ")
                                   + s(1)
                                   + QStringLiteral("px;}QFrame:hover {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @panel, stop:1 @cardDoneHoverFace);"
                                                    "    border: ")
                                   + s(2) + QStringLiteral("px solid @cardDoneHoverFrame;    margin: ") + s(1) + QStringLiteral("px;}")));
    } else {
        setStyleSheet(Theme::sheet(QStringLiteral("QFrame {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @panel, stop:1 @lightFace);"
                                                  "    border: 1px solid @cardFrame;    border-radius: ")
                                   + s(6) + QStringLiteral("px;    margin: ") + s(1)
                                   + QStringLiteral("px;}QFrame:hover {    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @panel, stop:1 @cardHoverFace);"
                                                    "    border: ")
                                   + s(1) + QStringLiteral("px solid @accent;    margin: ") + s(0) + QStringLiteral("px;}")));
    }
}

void PhotoItem::setStatus(int status)
{
    photo.importFlag = status;
    statusLabel->setText(statusSymbol(status));
    applyStatusBadgeStyle(status);
    applyCardStyle();
}

void PhotoItem::showPicture()
{
    thumbnailLabel->setText(QString());
    thumbnailLabel->setPixmap(
        photo.thumbnail.scaled(sc(74), sc(55), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    thumbnailLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel {    background-color: @panel;    border: 1px solid @slate;    border-radius: ")
                                               + s(4) + QStringLiteral("px;    padding: ") + s(2) + QStringLiteral("px;}")));
}

void PhotoItem::setThumbnail(const QPixmap &pixmap)
{
    if (pixmap.isNull())
        return;
    photo.thumbnail = pixmap;
    showPicture();
}

void PhotoItem::onRetryClicked()
{
    emit retryUploadClicked(photo.url);
}

// ------------------------------------------------------------- tfhomephotos

tfhomephotos::tfhomephotos(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("tfhomephotos"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("Form"));
    setupUI();
    thumbnailThread = new tfthumbnailthread(this);
    connect(thumbnailThread, &tfthumbnailthread::thumbnailGenerated, this, &tfhomephotos::onThumbnailGenerated);
    connect(thumbnailThread, &tfthumbnailthread::allTasksCompleted, this, &tfhomephotos::onAllThumbnailsCompleted);
}

tfhomephotos::~tfhomephotos()
{
    if (thumbnailThread) {
        thumbnailThread->quit();
        thumbnailThread->wait();
        delete thumbnailThread;
        thumbnailThread = nullptr;
    }
}

void tfhomephotos::setupUI()
{
    mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(sc(8), sc(8), sc(8), sc(8));
    mainLayout->setSpacing(sc(5));

    auto *header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    auto *accent = new QWidget(this);
    accent->setFixedSize(sc(4), sc(10));
    accent->setStyleSheet(Theme::sheet(QStringLiteral("QWidget {  background-color: @brandBlue;}")));
    titleLabel = new QLabel(QStringLiteral("已选列表"), this);
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    titleLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel {    font-size: ") + s(12)
                                           + QStringLiteral("px;    font-weight: 600;    color: @text;    padding: ") + s(5)
                                           + QStringLiteral("px 0px;}")));
    header->addWidget(accent);
    header->addWidget(titleLabel);

    scrollArea = new QScrollArea(this);
    scrollArea->setObjectName(QStringLiteral("scrollArea"));
    scrollArea->setWidgetResizable(true);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setStyleSheet(Theme::sheet(
        QStringLiteral("QScrollArea {    border-radius: ") + s(10)
        + QStringLiteral("px;    background-color: @pickedListFace;}") + Theme::photoScrollBar(4, 2)));

    gridContainer = new QWidget;
    gridContainer->setStyleSheet(QStringLiteral("    background-color: transparent;"));
    gridLayout = new QGridLayout(gridContainer);
    gridLayout->setSpacing(sc(5));
    gridLayout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    scrollArea->setWidget(gridContainer);

    mainLayout->addLayout(header, 0);
    mainLayout->addWidget(scrollArea, 1);
}

int tfhomephotos::calculateColumns() const
{
    if (!scrollArea)
        return 5;
    int left = 0;
    int right = 0;
    gridLayout->getContentsMargins(&left, nullptr, &right, nullptr);
    int c = (scrollArea->viewport()->width() - left - right + sc(5)) / (sc(90) + sc(5));
    c = qMax(c, 1);
    if (!photoItems.isEmpty())
        c = qMin(c, photoItems.size());
    return c;
}

void tfhomephotos::placeCard(PhotoItem *item, int position, int columns)
{
    gridLayout->addWidget(item, position / columns, position % columns);
}

void tfhomephotos::relayout()
{
    const int c = calculateColumns();
    layoutColumns = c;
    for (PhotoItem *item : qAsConst(photoItems))
        gridLayout->removeWidget(item);
    for (int i = 0; i < photoItems.size(); ++i)
        placeCard(photoItems.at(i), i, c);
}

void tfhomephotos::clearPhotos()
{
    for (PhotoItem *item : qAsConst(photoItems)) {
        gridLayout->removeWidget(item);
        item->disconnect(this);
        item->hide();
        item->deleteLater();
    }
    photoItems.clear();
    cardByEntry.clear();
    layoutColumns = 0;
}

int tfhomephotos::firstEntryOf(int index) const
{
    return currentType == UploadType::Photos ? index - index % 4 : index;
}

void tfhomephotos::setOrderPhotos(int row, const OrderInfo &order)
{
    Q_UNUSED(row)
    currentOrder = order;
    currentType = uploadTypeOf(order);
    // Results of the previous order still on their way are told apart by
    // index, name and path in onThumbnailGenerated, so nothing waits here.
    thumbnailThread->stop();
    clearPhotos();
    const int count = currentType == UploadType::Photos ? order.selectedFiles.size() / 4 : order.selectedFiles.size();
    titleLabel->setText(QStringLiteral("照片列表 - %1 (%2张)").arg(order.orderpayforkey, QString::number(count)));
    if (!currentOrder.selectedFiles.isEmpty())
        thumbnailThread->setPhotos(currentOrder.selectedFiles);
}

QString tfhomephotos::title() const
{
    return titleLabel->text();
}

PhotoItem *tfhomephotos::cardForEntry(int index) const
{
    return cardByEntry.value(index, nullptr);
}

void tfhomephotos::onThumbnailGenerated(QString fileName, QString filePath, QPixmap thumbnail, int index)
{
    if (index < 0 || index >= currentOrder.selectedFiles.size())
        return;
    const PhotoInfo &entry = currentOrder.selectedFiles.at(index);
    if (entry.img_name != fileName || entry.url != filePath || firstEntryOf(index) != index)
        return;
    PhotoItem *item = cardByEntry.value(index, nullptr);
    if (!item) {
        item = addPhotoItem(index);
        // A new card goes to the next free cell; the whole grid is laid out
        // again only when the column count changes.
        const int c = calculateColumns();
        if (c != layoutColumns)
            relayout();
        else
            placeCard(item, photoItems.size() - 1, c);
        item->show();
    }
    item->setThumbnail(thumbnail);
}

PhotoItem *tfhomephotos::addPhotoItem(int index)
{
    if (PhotoItem *known = cardByEntry.value(index, nullptr))
        return known;
    PhotoInfo shown = currentOrder.selectedFiles.at(index);
    // A photo's card shows the state of all four copies, kept in its "all"
    // entry; a video's card its own state.
    if (currentType == UploadType::Photos)
        shown.importFlag = shown.statusOrigin;
    auto *item = new PhotoItem(shown, gridContainer);
    connect(item, &PhotoItem::retryUploadClicked, this, &tfhomephotos::onRetryUploadClicked);
    photoItems.append(item);
    cardByEntry.insert(index, item);
    return item;
}

int tfhomephotos::indexOfEntry(const PhotoInfo &entry) const
{
    const QList<PhotoInfo> &entries = currentOrder.selectedFiles;
    for (int i = 0; i < entries.size(); ++i) {
        const PhotoInfo &known = entries.at(i);
        if (known.url == entry.url && known.img_name == entry.img_name && known.sizeTag == entry.sizeTag)
            return i;
    }
    return -1;
}

void tfhomephotos::addPhotoItems(const QList<PhotoInfo> &entries)
{
    for (const PhotoInfo &entry : entries) {
        const int index = indexOfEntry(entry);
        // Only whole photos and videos of the shown order have cards: a
        // card nothing could update would show a state it never leaves.
        if (index < 0 || firstEntryOf(index) != index) {
            qCWarning(lcTransfer) << "不是当前订单的照片，未添加卡片:" << entry.img_name << entry.sizeTag;
            continue;
        }
        addPhotoItem(index)->show();
    }
    refreshLayout();
}

void tfhomephotos::refreshLayout()
{
    if (!photoItems.isEmpty())
        relayout();
}

void tfhomephotos::onAllThumbnailsCompleted()
{
    qCDebug(lcTransfer) << "所有缩略图生成完成";
}

void tfhomephotos::onRetryUploadClicked(QString filePath)
{
    emit retryUpload(filePath);
}

void tfhomephotos::updatePhotoStatus(int index, const QString &photoName, int status)
{
    if (index < 0 || index >= currentOrder.selectedFiles.size())
        return;
    if (!OrderPicks::applyResult(&currentOrder, currentType, index, photoName, status))
        return;
    const int first = firstEntryOf(index);
    const PhotoInfo &head = currentOrder.selectedFiles.at(first);
    if (PhotoItem *item = cardByEntry.value(first, nullptr))
        item->setStatus(currentType == UploadType::Photos ? head.statusOrigin : head.importFlag);
}

void tfhomephotos::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!photoItems.isEmpty() && calculateColumns() != layoutColumns)
        relayout();
}
