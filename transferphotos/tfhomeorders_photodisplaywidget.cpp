#include "transferphotos/tfhomeorders_photodisplaywidget.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

#include "base/k.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "base/pathutil.h"
#include "public/theme.h"
#include "public/thumbnailloadworker.h"
#include "transferphotos/jobs/tfdellocalphotoimg.h"
#include "transferphotos/jobs/tflog.h"

namespace {

const QString kVideoIcon = QStringLiteral(":/transferphotos/image/transferphotos/home/video.png");
const QStringList kCopyFolders = {QStringLiteral("all"),      QStringLiteral("90"),       QStringLiteral("190"),
                                  QStringLiteral("1920"),     QStringLiteral("试拍视频"), QStringLiteral("精修视频")};

QString s(int px)
{
    return K::instance()->scaleText(px);
}

int sc(int px)
{
    return K::instance()->scale(px);
}

QString scaledUnselectedStyle()
{
    return Theme::sheet(QStringLiteral("QPushButton {    background-color: rgba(255, 255, 255, 0.9);    border: 2px solid @accent;    border-radius: ")
        + s(3) + QStringLiteral("px;    color: @accent;    font-size: ") + s(8)
        + QStringLiteral("px;    font-weight: bold;}QPushButton:hover {    background-color: rgba(255, 255, 255, 1.0);    border-color: @photoAccentHover;}"));
}

QString scaledSelectedStyle()
{
    return Theme::sheet(QStringLiteral("QPushButton {    background-color: @accent;    border: 2px solid @accent;    border-radius: ") + s(3)
        + QStringLiteral("px;    color: white;    font-size: ") + s(8)
        + QStringLiteral("px;    font-weight: bold;}QPushButton:hover {    background-color: @photoAccentHover;    border-color: @photoAccentHover;}"));
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Names as a person orders them: a run of digits by its value (IMG_2
// before IMG_10), letters without regard to case; names that still tie by
// their own text, so the order never depends on what came first.
bool naturalLess(const QString &a, const QString &b)
{
    int i = 0;
    int j = 0;
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a.at(i)) && isAsciiDigit(b.at(j))) {
            // The digits of each run without its leading zeros.
            while (i < a.size() && a.at(i) == QLatin1Char('0'))
                ++i;
            while (j < b.size() && b.at(j) == QLatin1Char('0'))
                ++j;
            int endA = i;
            int endB = j;
            while (endA < a.size() && isAsciiDigit(a.at(endA)))
                ++endA;
            while (endB < b.size() && isAsciiDigit(b.at(endB)))
                ++endB;
            if (endA - i != endB - j)
                return endA - i < endB - j;
            const int digits = QStringView(a).mid(i, endA - i).compare(QStringView(b).mid(j, endB - j));
            if (digits != 0)
                return digits < 0;
            i = endA;
            j = endB;
            continue;
        }
        const QChar x = a.at(i).toCaseFolded();
        const QChar y = b.at(j).toCaseFolded();
        if (x != y)
            return x < y;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b;
}

// The grid shows an order's photos by name, whatever order the service
// keeps them in (the order they were saved in, photos finishing out of
// turn).
QList<PhotoInfo> byName(QList<PhotoInfo> photos)
{
    std::stable_sort(photos.begin(), photos.end(),
                     [](const PhotoInfo &a, const PhotoInfo &b) { return naturalLess(a.img_name, b.img_name); });
    return photos;
}

bool samePhoto(const PhotoGridItem *item, const PhotoInfo &photo)
{
    return item->id == photo.id && item->name == photo.img_name && item->url == photo.url
        && item->localpath == photo.localpath;
}

const QString kFixedUnselectedStyle = Theme::sheet(QStringLiteral(
    "QPushButton {    background-color: rgba(255, 255, 255, 0.9);    border: 2px solid @accent;    border-radius: 6px;    color: @accent;"
    "    font-size: 16px;    font-weight: bold;}QPushButton:hover {    background-color: rgba(255, 255, 255, 1.0);    border-color: @photoAccentHover;}"));
const QString kFixedSelectedStyle = Theme::sheet(QStringLiteral(
    "QPushButton {    background-color: @accent;    border: 2px solid @accent;    border-radius: 6px;    color: white;    font-size: 16px;"
    "    font-weight: bold;}QPushButton:hover {    background-color: @photoAccentHover;    border-color: @photoAccentHover;}"));

} // namespace

tfhomeorders_PhotoDisplayWidget::tfhomeorders_PhotoDisplayWidget(QWidget *parent)
    : QWidget(parent)
    , cardWidth(sc(100))
    , cardHeight(sc(125))
    , localRemover(new TFDelLocalPhotoImg(this))
{
    setupUI();
    updateColumns();

    loader = new ThumbnailLoadThread(sc(90), this);
    connect(this, &tfhomeorders_PhotoDisplayWidget::loadPhotoRequest, loader, &ThumbnailLoadThread::loadPhoto);
    connect(this, &tfhomeorders_PhotoDisplayWidget::cancelAllPhotoRequests, loader,
            &ThumbnailLoadThread::cancelAllRequests);
    connect(loader, &ThumbnailLoadThread::photoLoaded, this, &tfhomeorders_PhotoDisplayWidget::onPhotoLoaded);
    connect(loader, &ThumbnailLoadThread::photoLoadFailed, this, &tfhomeorders_PhotoDisplayWidget::onPhotoLoadFailed);

    loadTimer = new QTimer(this);
    loadTimer->setSingleShot(true);
    loadTimer->setInterval(100);
    connect(loadTimer, &QTimer::timeout, this, &tfhomeorders_PhotoDisplayWidget::loadVisiblePhotos);
    batchTimer = new QTimer(this);
    batchTimer->setSingleShot(true);
    batchTimer->setInterval(50);
    connect(batchTimer, &QTimer::timeout, this, &tfhomeorders_PhotoDisplayWidget::createPhotoItemsBatch);
    cleanupTimer = new QTimer(this);
    cleanupTimer->setInterval(300000);
    connect(cleanupTimer, &QTimer::timeout, this, &tfhomeorders_PhotoDisplayWidget::cleanupMemory);
    cleanupTimer->start();
}

tfhomeorders_PhotoDisplayWidget::~tfhomeorders_PhotoDisplayWidget()
{
    loadTimer->stop();
    batchTimer->stop();
    // The loader's thread ends before the cards go; answers it had queued
    // go with it.
    delete loader;
    loader = nullptr;
    qDeleteAll(items);
    items.clear();
    qDeleteAll(cardPool);
    cardPool.clear();
}

void tfhomeorders_PhotoDisplayWidget::setupUI()
{
    mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(sc(5), sc(5), sc(5), sc(5));

    scrollArea = new QScrollArea(this);
    scrollArea->setObjectName(QStringLiteral("photoScrollArea"));
    scrollArea->setWidgetResizable(true);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setStyleSheet(
        Theme::sheet(QStringLiteral("QScrollArea {    border: none;    background-color: @panel;    border: 1px solid @border;    border-radius: ")
                     + s(6) + QStringLiteral("px;    padding: }"))
        + Theme::photoScrollBar(6, 3));

    container = new QWidget;
    gridLayout = new QGridLayout(container);
    gridLayout->setSpacing(sc(5));
    gridLayout->setContentsMargins(sc(5), sc(5), sc(5), sc(5));
    gridLayout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    scrollArea->setWidget(container);
    connect(scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &tfhomeorders_PhotoDisplayWidget::onScrollValueChanged);

    auto *header = new QWidget(this);
    auto *headerLayout = new QHBoxLayout(header);
    auto *marker = new QWidget(header);
    marker->setFixedSize(sc(4), sc(10));
    marker->setStyleSheet(Theme::sheet(QStringLiteral("QWidget {  background-color: @brandBlue;}")));
    titleLabel = new QLabel(QStringLiteral("已导入照片"), header);
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    titleLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel {    font-size: ") + s(12)
                                           + QStringLiteral("px;    font-weight: 600;    color: @text;    padding: ") + s(3)
                                           + QStringLiteral("px 0px;}")));
    selectAllButton = new QPushButton(QStringLiteral("全选"), header);
    selectAllButton->setObjectName(QStringLiteral("selectAllButton"));
    selectAllButton->setStyleSheet(Theme::sheet(
        QStringLiteral("QPushButton {    background-color: @accent;    color: white;    border: none;    border-radius: ") + s(4)
        + QStringLiteral("px;    padding: ") + s(6) + QStringLiteral("px ") + s(8) + QStringLiteral("px;    font-size: ") + s(10)
        + QStringLiteral("px;    font-weight: 500;    min-width: ") + s(40) + QStringLiteral("px;    height: ") + s(10)
        + QStringLiteral("px;}QPushButton:hover {    background-color: @photoAccentHover;}QPushButton:pressed {    background-color: @photoAccentPressed;}")));
    connect(selectAllButton, &QPushButton::clicked, this, &tfhomeorders_PhotoDisplayWidget::onSelectAllToggled);
    deleteButton = new QPushButton(QStringLiteral("删除选中"), header);
    deleteButton->setObjectName(QStringLiteral("deleteButton"));
    deleteButton->setStyleSheet(Theme::sheet(
        QStringLiteral("QPushButton {    background-color: @danger;    color: white;    border: none;    border-radius: ") + s(4)
        + QStringLiteral("px;    padding: ") + s(6) + QStringLiteral("px ") + s(8) + QStringLiteral("px;    font-size: ") + s(10)
        + QStringLiteral("px;    font-weight: 500;    min-width: ") + s(50) + QStringLiteral("px;    height: ") + s(10)
        + QStringLiteral("px;}QPushButton:hover {    background-color: @dangerHover;}QPushButton:pressed {    background-color: @dangerPressed;}"
                         "QPushButton:disabled {    background-color: @disabledButton;    color: @disabledButtonText;}")));
    deleteButton->setEnabled(false);
    connect(deleteButton, &QPushButton::clicked, this, &tfhomeorders_PhotoDisplayWidget::onDeleteSelectedPhotos);
    headerLayout->addWidget(marker);
    headerLayout->addWidget(titleLabel);
    headerLayout->addStretch();
    headerLayout->addWidget(selectAllButton);
    headerLayout->addWidget(deleteButton);

    mainLayout->addWidget(header);
    mainLayout->addWidget(scrollArea);
    // At least one whole row of cards: on a short screen the splitter left
    // the grid less than a card's height, and every name was cut off below
    // the pictures.
    scrollArea->ensurePolished();
    scrollArea->setMinimumHeight(cardHeight + 2 * sc(5) + 2 * scrollArea->frameWidth());
    QTimer::singleShot(10, this, [this]() { updateColumns(); });
}

void tfhomeorders_PhotoDisplayWidget::updateColumns()
{
    if (!scrollArea)
        return;
    const int w = scrollArea->viewport()->width();
    const int value = qMax(1, (w - 4 * sc(5)) / (cardWidth + sc(5)));
    if (value == columns)
        return;
    columns = value;
    for (int i = 0; i < items.size(); ++i) {
        QWidget *card = items.at(i)->card;
        if (!card)
            continue;
        gridLayout->removeWidget(card);
        gridLayout->addWidget(card, i / columns, i % columns);
    }
}

void tfhomeorders_PhotoDisplayWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    QTimer::singleShot(100, this, [this]() { updateColumns(); });
}

void tfhomeorders_PhotoDisplayWidget::setDeletePermission(int permission)
{
    deletePermission = permission;
}

void tfhomeorders_PhotoDisplayWidget::setOrder(const OrderInfo &shown)
{
    order = shown;
    const bool canDelete = deletePermission != 0 && order.issample != QLatin1String("1");
    deleteButton->setVisible(canDelete);
    selectAllButton->setVisible(canDelete);

    selectedCount = 0;
    ++generation;
    loadTimer->stop();
    batchTimer->stop();
    // Answers already on their way carry the old generation and are
    // dropped, so nothing waits for the loader here.
    emit cancelAllPhotoRequests();
    resetView();
    updateColumns();

    shownType = static_cast<UploadType>(g_uploadType.load());
    const QList<PhotoInfo> &list = shownType == UploadType::TrialVideo       ? order.trialVideos
                                   : shownType == UploadType::RetouchedVideo ? order.retouchedVideos
                                                                             : order.photos;
    titleLabel->setText(QStringLiteral("已导入：") + QString::number(list.size()));
    if (!list.isEmpty()) {
        setPhotos(byName(list));
        loadTimer->start();
    }
    refreshButtons();
}

void tfhomeorders_PhotoDisplayWidget::followOrder(const OrderInfo &stored)
{
    if (stored.order_photo_id != order.order_photo_id || stored.row != order.row)
        return;
    const QList<PhotoInfo> list = byName(shownType == UploadType::TrialVideo       ? stored.trialVideos
                                         : shownType == UploadType::RetouchedVideo ? stored.retouchedVideos
                                                                                   : stored.photos);
    // Every shown photo is still there, in the same order: the new ones go
    // in between, where their names put them.
    QList<int> added;
    int shown = 0;
    for (int i = 0; i < list.size(); ++i) {
        if (shown < items.size() && samePhoto(items.at(shown), list.at(i)))
            ++shown;
        else
            added << i;
    }
    if (shown < items.size() || shownType != static_cast<UploadType>(g_uploadType.load())) {
        setOrder(stored);
        return;
    }
    order = stored;
    for (int i : qAsConst(added))
        addImportedPhoto(list.at(i));
}

void tfhomeorders_PhotoDisplayWidget::setPhotos(const QList<PhotoInfo> &photos)
{
    nextIndex = 0;
    for (const PhotoInfo &photo : photos) {
        auto *item = new PhotoGridItem;
        item->id = photo.id;
        item->name = photo.img_name;
        item->url = photo.url;
        item->localpath = photo.localpath;
        items.append(item);
        urls.append(photo.url);
        names.append(photo.img_name);
    }
}

void tfhomeorders_PhotoDisplayWidget::resetView()
{
    for (int i = items.size() - 1; i >= 0; --i) {
        PhotoGridItem *item = items.at(i);
        if (item->card) {
            gridLayout->removeWidget(item->card);
            item->card->hide();
            if (item->photoLabel) {
                item->photoLabel->clear();
                item->photoLabel->setText(QStringLiteral("加载中..."));
            }
            if (cardPool.size() < poolLimit)
                cardPool.append(item->card);
            else
                item->card->deleteLater();
        }
    }
    qDeleteAll(items);
    items.clear();
    urls.clear();
    names.clear();
    nextIndex = 0;
}

bool tfhomeorders_PhotoDisplayWidget::cardOnScreen(QWidget *card) const
{
    if (!card || !card->isVisible())
        return false;
    const int v = scrollArea->verticalScrollBar()->value();
    const int h = scrollArea->viewport()->height();
    const QRect box = card->geometry();
    return box.bottom() > v && box.top() < v + h;
}

void tfhomeorders_PhotoDisplayWidget::requestThumbnail(int index)
{
    PhotoGridItem *item = items.at(index);
    item->requested = true;
    // Videos have no picture of their own on the service.
    const QString icon = shownType == UploadType::Photos ? QString() : kVideoIcon;
    emit loadPhotoRequest(item->url, item->name, icon, index, generation);
}

void tfhomeorders_PhotoDisplayWidget::loadVisiblePhotos()
{
    if (!scrollArea->isVisible() || !container)
        return;
    const int h = scrollArea->viewport()->height();
    const int v = scrollArea->verticalScrollBar()->value();
    for (int i = 0; i < items.size(); ++i) {
        PhotoGridItem *item = items.at(i);
        if (!item->card) {
            if (v + 2 * h > (i / columns) * (cardHeight + 10) && !batchTimer->isActive())
                batchTimer->start();
            break;
        }
        if (!item->requested && !item->loaded && cardOnScreen(item->card))
            requestThumbnail(i);
    }
}

void tfhomeorders_PhotoDisplayWidget::onScrollValueChanged(int value)
{
    Q_UNUSED(value)
    loadTimer->stop();
    loadTimer->start(200);
}

void tfhomeorders_PhotoDisplayWidget::attachCard(int index)
{
    PhotoGridItem *item = items.at(index);
    QWidget *card = acquireCard(index);
    item->card = card;
    item->photoLabel = qobject_cast<QLabel *>(card->property("photoLabel").value<QObject *>());
    item->nameLabel = qobject_cast<QLabel *>(card->property("nameLabel").value<QObject *>());
    gridLayout->addWidget(card, index / columns, index % columns);
    card->show();
}

void tfhomeorders_PhotoDisplayWidget::createPhotoItemsBatch()
{
    const int start = nextIndex;
    if (start >= items.size())
        return;
    const int stamp = generation;
    const int end = qMin(start + batchSize, items.size());
    for (int i = start; i < end; ++i) {
        if (!items.at(i)->card)
            attachCard(i);
        if (generation != stamp)
            return;
    }
    nextIndex = start + batchSize;
    if (nextIndex < items.size() && generation == stamp)
        batchTimer->start();
    else
        QTimer::singleShot(100, this, [this]() { loadVisiblePhotos(); });
}

void tfhomeorders_PhotoDisplayWidget::createAllCards()
{
    for (int i = 0; i < items.size(); ++i) {
        if (!items.at(i)->card)
            attachCard(i);
    }
    nextIndex = items.size();
    QTimer::singleShot(100, this, [this]() { loadVisiblePhotos(); });
}

QWidget *tfhomeorders_PhotoDisplayWidget::acquireCard(int index)
{
    const QString name = items.at(index)->name;
    if (!cardPool.isEmpty()) {
        QWidget *card = cardPool.takeFirst();
        reinitCard(card, name, index);
        return card;
    }
    return createCard(name, index);
}

void tfhomeorders_PhotoDisplayWidget::applySelectStyle(QPushButton *button, bool on)
{
    const bool fixed = button->property("fixedStyle").toBool();
    button->setText(on ? QStringLiteral("✓") : QString());
    if (fixed)
        button->setStyleSheet(on ? kFixedSelectedStyle : kFixedUnselectedStyle);
    else
        button->setStyleSheet(on ? scaledSelectedStyle() : scaledUnselectedStyle());
}

void tfhomeorders_PhotoDisplayWidget::connectSelectButton(QPushButton *button, int index)
{
    button->disconnect(this);
    connect(button, &QPushButton::clicked, this, [this, button, index]() {
        const bool on = button->isChecked();
        applySelectStyle(button, on);
        onPhotoSelectionChanged(index, on);
    });
}

QWidget *tfhomeorders_PhotoDisplayWidget::createCard(const QString &name, int index)
{
    auto *card = new QWidget;
    card->setObjectName(QStringLiteral("photoCard"));
    card->setFixedSize(cardWidth, cardHeight);
    card->setStyleSheet(Theme::sheet(QStringLiteral("QWidget {    background-color: @panel;    border: 1px solid @border;    border-radius: ") + s(4)
                                     + QStringLiteral("px;    margin: ") + s(1) + QStringLiteral("px;}QWidget:hover {    border-color: @accent;}")));
    auto *layout = new QVBoxLayout(card);
    layout->setContentsMargins(sc(2), sc(2), sc(2), sc(2));
    layout->setSpacing(sc(2));

    auto *photoBox = new QWidget(card);
    photoBox->setFixedSize(sc(90), sc(90));
    auto *photoLabel = new QLabel(photoBox);
    photoLabel->setFixedSize(sc(90), sc(90));
    photoLabel->setAlignment(Qt::AlignCenter);
    photoLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel {    background-color: @photoPlaceholder;    border: 1px solid @border;    border-radius: ") + s(2)
                                           + QStringLiteral("px;}")));
    photoLabel->setText(QStringLiteral("加载中..."));

    auto *selectButton = new QPushButton(photoBox);
    selectButton->setObjectName(QStringLiteral("selectButton"));
    selectButton->setGeometry(sc(3), sc(3), sc(14), sc(14));
    selectButton->raise();
    selectButton->setCheckable(true);
    selectButton->setChecked(false);
    selectButton->setStyleSheet(scaledUnselectedStyle());
    connectSelectButton(selectButton, index);

    auto *nameLabel = new QLabel(name, card);
    nameLabel->setWordWrap(true);
    nameLabel->setAlignment(Qt::AlignCenter);
    nameLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel {    font-size: ") + s(10)
                                          + QStringLiteral("px;    color: @textSecondary;    background: transparent;    border: none;}")));

    layout->addWidget(photoBox);
    layout->addWidget(nameLabel);
    card->setProperty("photoLabel", QVariant::fromValue<QObject *>(photoLabel));
    card->setProperty("nameLabel", QVariant::fromValue<QObject *>(nameLabel));
    card->setProperty("selectButton", QVariant::fromValue<QObject *>(selectButton));
    card->setProperty("photoIndex", index);
    card->installEventFilter(this);
    return card;
}

void tfhomeorders_PhotoDisplayWidget::reinitCard(QWidget *card, const QString &name, int index)
{
    auto *photoLabel = qobject_cast<QLabel *>(card->property("photoLabel").value<QObject *>());
    auto *nameLabel = qobject_cast<QLabel *>(card->property("nameLabel").value<QObject *>());
    auto *selectButton = qobject_cast<QPushButton *>(card->property("selectButton").value<QObject *>());
    if (photoLabel) {
        photoLabel->clear();
        photoLabel->setText(QStringLiteral("加载中..."));
        photoLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel {    background-color: @photoPlaceholder;    border: 1px solid @border;    border-radius: 4px;}")));
    }
    if (nameLabel)
        nameLabel->setText(name);
    if (selectButton) {
        selectButton->setChecked(false);
        selectButton->setText(QString());
        selectButton->raise();
        selectButton->setProperty("fixedStyle", true);
        selectButton->setStyleSheet(kFixedUnselectedStyle);
        connectSelectButton(selectButton, index);
    }
    card->setProperty("photoIndex", index);
    card->installEventFilter(this);
    card->show();
}

bool tfhomeorders_PhotoDisplayWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QVariant index = watched->property("photoIndex");
        auto *button = qobject_cast<QPushButton *>(watched->property("selectButton").value<QObject *>());
        if (mouse->button() == Qt::LeftButton && index.isValid() && button) {
            const QPoint inButtonParent = button->parentWidget()->mapFrom(static_cast<QWidget *>(watched),
                                                                          mouse->pos());
            if (!button->geometry().contains(inButtonParent)) {
                // A click anywhere on the card selects it, as the small button does.
                button->click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

PhotoGridItem *tfhomeorders_PhotoDisplayWidget::cardItemFor(int index, const QString &key, int answerGeneration) const
{
    // A loader answer counts only for the photo it was asked for, in the
    // list it was asked for (camera names repeat across orders), and only
    // while that photo still has a card.
    if (answerGeneration != generation || index < 0 || index >= items.size())
        return nullptr;
    PhotoGridItem *item = items.at(index);
    return item->name == key && item->card ? item : nullptr;
}

void tfhomeorders_PhotoDisplayWidget::onPhotoLoaded(QImage image, QString key, int index, int answerGeneration)
{
    PhotoGridItem *item = cardItemFor(index, key, answerGeneration);
    if (!item)
        return;
    item->requested = false;
    item->loaded = true;
    if (item->photoLabel) {
        item->photoLabel->clear();
        item->photoLabel->setPixmap(QPixmap::fromImage(image));
    }
}

void tfhomeorders_PhotoDisplayWidget::onPhotoLoadFailed(QString key, int index, int answerGeneration)
{
    PhotoGridItem *item = cardItemFor(index, key, answerGeneration);
    if (!item)
        return;
    item->requested = false;
    item->loaded = false;
    if (item->photoLabel) {
        item->photoLabel->clear();
        item->photoLabel->setText(QStringLiteral("加载失败"));
        item->photoLabel->setStyleSheet(Theme::sheet(QStringLiteral(
            "QLabel {    background-color: @photoFailedFace;    border: 1px solid @photoFailedFrame;    border-radius: 4px;    color: @photoFailedText;}")));
    }
}

void tfhomeorders_PhotoDisplayWidget::cleanupMemory()
{
    for (QWidget *card : qAsConst(cardPool))
        card->deleteLater();
    cardPool.clear();
}

void tfhomeorders_PhotoDisplayWidget::addImportedPhoto(const PhotoInfo &photo)
{
    auto *item = new PhotoGridItem;
    item->id = photo.id;
    item->name = photo.img_name;
    item->url = photo.url;
    item->localpath = photo.localpath;
    // After the photos whose names come before or tie with its own.
    int index = items.size();
    while (index > 0 && naturalLess(photo.img_name, items.at(index - 1)->name))
        --index;
    items.insert(index, item);
    urls.insert(index, item->url);
    names.insert(index, item->name);
    if (index < nextIndex)
        ++nextIndex;
    if (index < items.size() - 1)
        shiftCardsFrom(index + 1);
    titleLabel->setText(QStringLiteral("已导入照片：") + QString::number(items.size()) + QStringLiteral("张"));
    // Cards are made in turn from the first: a photo behind the cards made
    // so far gets its card with them.
    if (index > 0 && !items.at(index - 1)->card) {
        refreshButtons();
        return;
    }
    QWidget *card = createCard(item->name, index);
    item->card = card;
    item->photoLabel = qobject_cast<QLabel *>(card->property("photoLabel").value<QObject *>());
    item->nameLabel = qobject_cast<QLabel *>(card->property("nameLabel").value<QObject *>());
    gridLayout->addWidget(card, index / columns, index % columns);
    card->show();
    if (!item->url.isEmpty() && scrollArea->isVisible()) {
        const int v = scrollArea->verticalScrollBar()->value();
        const int h = scrollArea->viewport()->height();
        const int top = (index / columns) * (cardHeight + sc(5));
        if (top < v + h && v < top + cardHeight)
            requestThumbnail(index);
    }
    refreshButtons();
}

void tfhomeorders_PhotoDisplayWidget::shiftCardsFrom(int first)
{
    for (int i = first; i < items.size(); ++i) {
        QWidget *card = items.at(i)->card;
        if (!card)
            continue;
        gridLayout->removeWidget(card);
        gridLayout->addWidget(card, i / columns, i % columns);
        card->setProperty("photoIndex", i);
        if (auto *button = qobject_cast<QPushButton *>(card->property("selectButton").value<QObject *>()))
            connectSelectButton(button, i);
    }
    // Pictures asked for by their old places would be dropped when they
    // come: asked for again.
    ++generation;
    for (PhotoGridItem *item : qAsConst(items)) {
        if (item->requested && !item->loaded)
            item->requested = false;
    }
    loadTimer->start();
}

void tfhomeorders_PhotoDisplayWidget::onPhotoSelectionChanged(int index, bool selected)
{
    if (index < 0 || index >= items.size())
        return;
    PhotoGridItem *item = items.at(index);
    if (item->selected == selected)
        return;
    item->selected = selected;
    selectedCount += selected ? 1 : -1;
    refreshButtons();
}

void tfhomeorders_PhotoDisplayWidget::setPhotoSelected(int index, bool selected)
{
    if (index < 0 || index >= items.size())
        return;
    PhotoGridItem *item = items.at(index);
    if (item->card) {
        auto *button = qobject_cast<QPushButton *>(item->card->property("selectButton").value<QObject *>());
        if (button && button->isChecked() != selected) {
            button->click();
            return;
        }
    }
    onPhotoSelectionChanged(index, selected);
}

bool tfhomeorders_PhotoDisplayWidget::isPhotoSelected(int index) const
{
    return index >= 0 && index < items.size() && items.at(index)->selected;
}

bool tfhomeorders_PhotoDisplayWidget::isPhotoLoaded(int index) const
{
    return index >= 0 && index < items.size() && items.at(index)->loaded;
}

QWidget *tfhomeorders_PhotoDisplayWidget::cardAt(int index) const
{
    return index >= 0 && index < items.size() ? items.at(index)->card : nullptr;
}

QStringList tfhomeorders_PhotoDisplayWidget::photoNames() const
{
    QStringList out;
    for (const PhotoGridItem *item : items)
        out << item->name;
    return out;
}

QStringList tfhomeorders_PhotoDisplayWidget::selectedNames() const
{
    QStringList out;
    for (const PhotoGridItem *item : items) {
        if (item->selected)
            out << item->name;
    }
    return out;
}

QString tfhomeorders_PhotoDisplayWidget::title() const
{
    return titleLabel->text();
}

void tfhomeorders_PhotoDisplayWidget::onSelectAllToggled()
{
    const bool target = selectedCount < items.size();
    for (PhotoGridItem *item : qAsConst(items)) {
        item->selected = target;
        if (!item->card)
            continue;
        auto *button = qobject_cast<QPushButton *>(item->card->property("selectButton").value<QObject *>());
        if (!button)
            continue;
        const QSignalBlocker blocker(button);
        button->setChecked(target);
        button->setText(target ? QStringLiteral("✓") : QString());
        button->setStyleSheet(target ? kFixedSelectedStyle : kFixedUnselectedStyle);
    }
    selectedCount = target ? items.size() : 0;
    refreshButtons();
}

void tfhomeorders_PhotoDisplayWidget::refreshButtons()
{
    deleteButton->setEnabled(selectedCount >= 1);
    selectAllButton->setText(selectedCount > 0 && selectedCount == items.size() ? QStringLiteral("取消全选")
                                                                                : QStringLiteral("全选"));
}

void tfhomeorders_PhotoDisplayWidget::showBox(bool warning, const QString &text)
{
    // Queued, so the reply handler returns before the box runs its loop.
    QTimer::singleShot(0, this, [this, warning, text]() {
        ModalBox::showMessage(this, warning ? QMessageBox::Warning : QMessageBox::Information, QStringLiteral("温馨提示"), text);
    });
}

void tfhomeorders_PhotoDisplayWidget::onDeleteSelectedPhotos()
{
    QStringList ids;
    QStringList localPaths;
    for (int i = items.size() - 1; i >= 0; --i) {
        if (!items.at(i)->selected)
            continue;
        ids << items.at(i)->id;
        localPaths << items.at(i)->localpath;
    }
    if (ids.isEmpty())
        return;
    const QString what = shownType == UploadType::Photos ? QStringLiteral("照片") : QStringLiteral("视频");
    QMessageBox confirm(QMessageBox::Question, QStringLiteral("温馨提示"),
                        QStringLiteral("确定删除选中的 %1 个%2吗？服务器和本地的文件都会被删除。").arg(ids.size()).arg(what),
                        QMessageBox::Yes | QMessageBox::No, this);
    confirm.setDefaultButton(QMessageBox::No);
    if (ModalBox::exec(&confirm) != QMessageBox::Yes)
        return;
    postDelPhotos(ids, localPaths);
}

void tfhomeorders_PhotoDisplayWidget::postDelPhotos(const QStringList &ids, const QStringList &localPaths)
{
    const QByteArray body =
        OrderService::deleteImportedBody(order.order_photo_id, ids, ReportContext{shopId, eid, superId});
    const OrderService::Action action =
        shownType == UploadType::Photos ? OrderService::Action::DeletePhotos : OrderService::Action::DeleteVideos;
    const OrderInfo deleted = order;
    QPointer<tfhomeorders_PhotoDisplayWidget> self(this);
    OrderService::send(this, action, body, [self, deleted, localPaths](bool ok, const QJsonDocument &doc) {
        if (!self)
            return;
        if (!ok) {
            qCWarning(lcTransfer) << "删除照片请求失败:" << deleted.orderpayforkey;
            return;
        }
        const OrderService::Answer answer = OrderService::check(doc);
        if (!answer.ok) {
            self->showBox(true, answer.message);
            return;
        }
        const QStringList kept = self->removeLocalCopies(deleted, localPaths);
        self->showBox(false, kept.isEmpty() ? QStringLiteral("删除成功") : keptText(kept));
        emit self->reloadOrderThumbnail(deleted.order_photo_id);
    });
}

QString tfhomeorders_PhotoDisplayWidget::keptText(const QStringList &kept)
{
    // The first few paths by name, so the user can look at them; a long
    // list would push the box off the screen.
    constexpr int shown = 5;
    QStringList lines;
    for (const QString &path : kept.mid(0, shown))
        lines << PathUtil::toDisplay(path);
    if (kept.size() > shown)
        lines << QStringLiteral("……");
    return QStringLiteral("删除成功，%1 个本地文件未能删除：\n").arg(kept.size()) + lines.join(QLatin1Char('\n'));
}

QStringList tfhomeorders_PhotoDisplayWidget::removeLocalCopies(const OrderInfo &deleted, const QStringList &localPaths)
{
    // The order's import folder: its own path, or the one built from it.
    const QString folder = PathUtil::toFs(K::instance()->buildImportPath(deleted));
    QStringList accepted;
    QStringList watched;
    QStringList kept;
    for (const QString &path : localPaths) {
        if (path.isEmpty())
            continue;
        const QString fsPath = PathUtil::toFs(path);
        bool inside = false;
        if (!folder.isEmpty() && PathUtil::isAbsolute(fsPath) && !PathUtil::hasDotComponent(path)) {
            for (const QString &sub : kCopyFolders) {
                if (PathUtil::isInside(fsPath, folder + QLatin1Char('/') + sub)) {
                    inside = true;
                    break;
                }
            }
        }
        if (!inside) {
            // Only copies this tool wrote into the order's own folders go;
            // whatever the service names elsewhere stays.
            qCWarning(lcTransfer) << "本地路径不在订单导片目录中，未删除:" << path << folder;
            kept << path;
            continue;
        }
        accepted << fsPath;
        watched << TFDelLocalPhotoImg::copiesOf(fsPath);
    }
    QStringList present;
    for (const QString &path : qAsConst(watched)) {
        if (QFileInfo::exists(path))
            present << path;
    }
    if (!accepted.isEmpty())
        localRemover->delPhotos(accepted);
    for (const QString &path : qAsConst(present)) {
        if (QFileInfo::exists(path)) {
            qCWarning(lcTransfer) << "本地文件未能删除:" << path;
            kept << path;
        }
    }
    return kept;
}
