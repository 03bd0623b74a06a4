#include "public/thumbnailtableview.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "base/k.h"
#include "public/publiclog.h"
#include "public/theme.h"
#include "public/thumbnailloadworker.h"

namespace {

const char kCheckMark[] = "\xe2\x9c\x93"; // ✓

// How long one turn of the event loop may spend deleting the cards of a
// replaced list: well inside a frame, with room for the turn's other work.
constexpr int kTakeDownSliceMs = 8;

QString s(int px)
{
    return K::instance()->scaleText(px);
}

// One style sheet for the whole page of cards, parsed once: a sheet per card
// widget costs a parse each, and thousands of cards are made. Rules inside a
// card name the card, so they win over the card's own cascading rule.
QString cardPageStyle()
{
    return Theme::sheet(QStringLiteral("QWidget#thumbnailCard, QWidget#thumbnailCard QWidget {    background-color: @panel;    border: 1px solid @border;    border-radius: ")
           + s(4) + QStringLiteral("px;    margin: ") + s(1)
           + QStringLiteral("px;}QWidget#thumbnailCard:hover, QWidget#thumbnailCard QWidget:hover {    border-color: @accent;}"
                            "QWidget#thumbnailCard QLabel#thumbnailPhoto {    background-color: @photoPlaceholder;    border: 1px solid @border;    border-radius: ")
           + s(2)
           + QStringLiteral("px;}QWidget#thumbnailCard QLabel#thumbnailPhoto[loadFailed=\"true\"] {    background-color: @photoFailedFace;    border: 1px solid @photoFailedFrame;    border-radius: ")
           + s(2)
           + QStringLiteral("px;    color: @photoFailedText;}QWidget#thumbnailCard QLabel#thumbnailName {    font-size: ") + s(10)
           + QStringLiteral("px;    color: @textSecondary;    background: transparent;    border: none;}"
                            "QWidget#thumbnailCard QPushButton#thumbnailCheck {    background-color: rgba(255, 255, 255, 0.9);    border: 2px solid @accent;    border-radius: ")
           + s(3) + QStringLiteral("px;    color: @accent;    font-size: ") + s(8)
           + QStringLiteral("px;    font-weight: bold;}"
                            "QWidget#thumbnailCard QPushButton#thumbnailCheck:hover {    background-color: rgba(255, 255, 255, 1.0);    border-color: @photoAccentHover;}"
                            "QWidget#thumbnailCard QPushButton#thumbnailCheck:checked {    background-color: @accent;    border: 2px solid @accent;    color: white;}"
                            "QWidget#thumbnailCard QPushButton#thumbnailCheck:checked:hover {    background-color: @photoAccentHover;}"));
}

void setLoadFailed(QLabel *label, bool failed)
{
    if (label->property("loadFailed").toBool() == failed)
        return;
    label->setProperty("loadFailed", failed);
    // A dynamic property in a selector is read at polish time only.
    label->style()->unpolish(label);
    label->style()->polish(label);
}

// The check mark follows the state; the colours come from :checked.
void showButtonState(QPushButton *button, bool selected)
{
    const bool blocked = button->blockSignals(true);
    button->setChecked(selected);
    button->setText(selected ? QString::fromUtf8(kCheckMark) : QString());
    button->blockSignals(blocked);
}

struct LoadRequest
{
    QString url;
    QString name;
    QString icon;
    int index;
};

} // namespace

ThumbnailTableView::ThumbnailTableView(QWidget *parent)
    : QWidget(parent)
    , itemWidth(K::instance()->scale(100))
    , itemHeight(K::instance()->scale(125))
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ThumbnailTableView"));
    resize(400, 300);
    setWindowTitle(QCoreApplication::translate("ThumbnailTableView", "Form"));

    buildUi();
    updateColumns();
    selectionEnabled = true;

    loader = new ThumbnailLoadThread(K::instance()->scale(90), this);
    connect(this, &ThumbnailTableView::loadPhotoRequest, loader, &ThumbnailLoadThread::loadPhoto);
    connect(this, &ThumbnailTableView::cancelAllPhotoRequests, loader, &ThumbnailLoadThread::cancelAllRequests);
    connect(loader, &ThumbnailLoadThread::photoLoaded, this, &ThumbnailTableView::onPhotoLoaded);
    connect(loader, &ThumbnailLoadThread::photoLoadFailed, this, &ThumbnailTableView::onPhotoLoadFailed);

    loadTimer = new QTimer(this);
    loadTimer->setSingleShot(true);
    loadTimer->setInterval(100);
    connect(loadTimer, &QTimer::timeout, this, &ThumbnailTableView::loadVisiblePhotos);

    batchTimer = new QTimer(this);
    batchTimer->setSingleShot(true);
    batchTimer->setInterval(50);
    connect(batchTimer, &QTimer::timeout, this, &ThumbnailTableView::createPhotoItemsBatch);

    takeDownTimer = new QTimer(this);
    takeDownTimer->setSingleShot(true);
    takeDownTimer->setInterval(0);
    connect(takeDownTimer, &QTimer::timeout, this, &ThumbnailTableView::takeDownRetired);
}

ThumbnailTableView::~ThumbnailTableView()
{
    loadTimer->stop();
    batchTimer->stop();
    // The loader's thread ends before the cards go; answers it had queued
    // go with it.
    delete loader;
    loader = nullptr;
    clearPool();
}

void ThumbnailTableView::buildUi()
{
    K *k = K::instance();
    mainLayout = new QVBoxLayout(this);
    const int m = k->scale(5);
    mainLayout->setContentsMargins(m, m, m, m);

    scrollArea = new QScrollArea(this);
    scrollArea->setWidgetResizable(true);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setStyleSheet(Theme::sheet(QStringLiteral("QScrollArea {    border: none;    background-color: @panel;    border: 1px solid @border;    border-radius: ")
                                           + s(6) + QStringLiteral("px;}"))
                              + Theme::photoScrollBar(6, 3));

    contentWidget = new QWidget;
    contentWidget->setStyleSheet(cardPageStyle());
    spacing = m;
    scrollArea->setWidget(contentWidget);
    page = makePage();

    connect(scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this, &ThumbnailTableView::onScrollValueChanged);
    mainLayout->addWidget(scrollArea);
}

void ThumbnailTableView::setPhotos(const QList<ThumbnailPhoto> &list)
{
    ++generation;
    loadTimer->stop();
    batchTimer->stop();
    emit cancelAllPhotoRequests();

    // From here to the new slots nothing may run: a click handled in between
    // would pair a card of the old list with a record of the new one.
    if (!list.isSharedWith(photos))
        photos = list;
    recycleItems();
    updateColumns();
    setPhotoList(photos);

    if (!photos.isEmpty())
        loadTimer->start();
}

void ThumbnailTableView::setPhotoList(const QList<ThumbnailPhoto> &list)
{
    QMutexLocker locker(&mutex);
    nextBatchIndex = 0;
    int selected = 0;
    items.reserve(list.size());
    for (const ThumbnailPhoto &photo : list) {
        ThumbnailItem item;
        item.name = photo.name;
        item.icon = photo.iconPath.isNull() ? QString(QLatin1String("")) : photo.iconPath;
        item.url = photo.imageUrl;
        item.localPath = photo.localPath;
        item.selectable = photo.selectable;
        // A record that cannot be selected stays out of every selection,
        // whatever it says about itself.
        item.selected = photo.selected && photo.selectable;
        if (item.selected)
            ++selected;
        items.append(item);
        qCDebug(lcPublic) << "缩略图刷新了：" << photo.name << (photo.selectable ? "true" : "false");
    }
    m_selectedCount = selected;
    locker.unlock();
    batchTimer->start();
}

void ThumbnailTableView::recycleItems()
{
    QMutexLocker locker(&mutex);
    QWidget *old = page;
    retirePage();
    // The highest slots go to the pool first; the cards that do not fit stay
    // on the old page, which is off the screen from here on.
    for (int i = items.size() - 1; i >= 0 && pool.size() < maxPoolSize; --i) {
        QWidget *card = items[i].widget;
        if (!card || card->parentWidget() != old)
            continue;
        card->hide();
        if (QLabel *label = items[i].photoLabel) {
            label->clear();
            label->setText(QStringLiteral("加载中..."));
        }
        card->setParent(page);
        pool.append(card);
    }
    items.clear();
    cardsBuilt = 0;
    updateContentSize();
}

QWidget *ThumbnailTableView::makePage()
{
    auto *fresh = new QWidget(contentWidget);
    fresh->setObjectName(QStringLiteral("thumbnailPage"));
    fresh->setGeometry(0, 0, 0, 0);
    fresh->show();
    return fresh;
}

void ThumbnailTableView::retirePage()
{
    QWidget *old = page;
    page = makePage();
    for (QWidget *card : qAsConst(pool))
        card->setParent(page);
    // An empty geometry takes the whole page and its cards off the screen
    // and out of reach of the mouse without touching each card; hiding them
    // one by one is what made a replacement slow.
    old->setGeometry(0, 0, 0, 0);
    old->lower();
    // Painting the content widget sums the opaque parts of its visible
    // children, down through every card of a page that is not opaque
    // itself: thousands of cards cost tens of milliseconds a paint while
    // they are taken down. An opaque page of no size adds nothing.
    old->setAttribute(Qt::WA_OpaquePaintEvent);
    retiredPages.append(old);
    takeDownTimer->start();
}

void ThumbnailTableView::takeDownRetired()
{
    QElapsedTimer slice;
    slice.start();
    while (!retiredPages.isEmpty()) {
        QWidget *old = retiredPages.first();
        // From the front: a deleted child is looked up in its parent's list.
        while (!old->children().isEmpty()) {
            delete old->children().first();
            if (slice.elapsed() >= kTakeDownSliceMs) {
                takeDownTimer->start();
                return;
            }
        }
        retiredPages.removeFirst();
        delete old;
    }
}

int ThumbnailTableView::retiredCardCount() const
{
    int count = 0;
    for (const QWidget *old : retiredPages)
        count += old->children().size();
    return count;
}

void ThumbnailTableView::createPhotoItemsBatch()
{
    int n;
    int g;
    {
        QMutexLocker locker(&mutex);
        const int start = nextBatchIndex;
        n = items.size();
        if (start >= n)
            return;
        g = generation;
        const int end = qMin(start + batchSize, n);
        for (int i = start; i < end; ++i) {
            if (!items[i].widget) {
                QWidget *card = acquirePhotoItem(i);
                ThumbnailItem &item = items[i];
                item.widget = card;
                item.photoLabel = qobject_cast<QLabel *>(card->property("photoLabel").value<QObject *>());
                item.nameLabel = qobject_cast<QLabel *>(card->property("nameLabel").value<QObject *>());
                item.selectButton = qobject_cast<QPushButton *>(card->property("selectButton").value<QObject *>());
                if (item.selectButton && item.selectable)
                    showButtonState(item.selectButton, item.selected);
                card->move(cardPosition(i));
                card->show();
                cardsBuilt = qMax(cardsBuilt, i + 1);
            }
            if (i + 1 < end && generation != g) {
                updateContentSize();
                return;
            }
        }
        nextBatchIndex = start + batchSize;
        updateContentSize();
    }
    if (n > nextBatchIndex && generation == g)
        batchTimer->start();
    else
        QTimer::singleShot(100, this, &ThumbnailTableView::loadVisiblePhotos);
}

QWidget *ThumbnailTableView::acquirePhotoItem(int index)
{
    if (!pool.isEmpty()) {
        QWidget *card = pool.takeFirst();
        reinitPhotoItem(card, items[index].name, index);
        return card;
    }
    return createPhotoItem(items[index].name, index);
}

QWidget *ThumbnailTableView::createPhotoItem(const QString &name, int index)
{
    K *k = K::instance();
    // Made inside the page: a card without a parent would be a top-level
    // window until something adopts it.
    auto *card = new QWidget(page);
    card->setObjectName(QStringLiteral("thumbnailCard"));
    card->setFixedSize(itemWidth, itemHeight);
    auto *layout = new QVBoxLayout(card);
    const int m = k->scale(2);
    layout->setContentsMargins(m, m, m, m);
    layout->setSpacing(m);

    auto *pictureBox = new QWidget(card);
    pictureBox->setFixedSize(k->scale(90), k->scale(90));

    auto *photoLabel = new QLabel(pictureBox);
    photoLabel->setFixedSize(k->scale(90), k->scale(90));
    photoLabel->setAlignment(Qt::AlignCenter);
    photoLabel->setObjectName(QStringLiteral("thumbnailPhoto"));
    photoLabel->setText(QStringLiteral("加载中..."));

    auto *selectButton = new QPushButton(pictureBox);
    selectButton->setObjectName(QStringLiteral("thumbnailCheck"));
    selectButton->hide();
    const bool selectable = index >= 0 && index < items.size() && items[index].selectable;
    if (selectable)
        armSelectButton(selectButton, index);

    auto *nameLabel = new QLabel(name, card);
    nameLabel->setWordWrap(true);
    nameLabel->setAlignment(Qt::AlignCenter);
    nameLabel->setObjectName(QStringLiteral("thumbnailName"));

    layout->addWidget(pictureBox);
    layout->addWidget(nameLabel);

    card->setProperty("photoLabel", QVariant::fromValue<QObject *>(photoLabel));
    card->setProperty("nameLabel", QVariant::fromValue<QObject *>(nameLabel));
    card->setProperty("selectButton", QVariant::fromValue<QObject *>(selectButton));
    card->setProperty("photoIndex", index);
    card->installEventFilter(this);
    return card;
}

void ThumbnailTableView::reinitPhotoItem(QWidget *card, const QString &name, int index)
{
    auto *photoLabel = qobject_cast<QLabel *>(card->property("photoLabel").value<QObject *>());
    auto *nameLabel = qobject_cast<QLabel *>(card->property("nameLabel").value<QObject *>());
    auto *selectButton = qobject_cast<QPushButton *>(card->property("selectButton").value<QObject *>());
    if (photoLabel) {
        photoLabel->clear();
        photoLabel->setText(QStringLiteral("加载中..."));
        setLoadFailed(photoLabel, false);
    }
    if (nameLabel)
        nameLabel->setText(name);
    // The index travels with the card, so a click always names this slot.
    card->setProperty("photoIndex", index);
    if (!selectButton) {
        card->show();
        return;
    }
    disconnect(selectButton, &QPushButton::clicked, nullptr, nullptr);
    const bool selectable = index >= 0 && index < items.size() && items[index].selectable;
    if (!selectable) {
        selectButton->hide();
        card->show();
        return;
    }
    armSelectButton(selectButton, index);
    card->show();
}

void ThumbnailTableView::armSelectButton(QPushButton *button, int index)
{
    K *k = K::instance();
    button->show();
    button->setGeometry(k->scale(3), k->scale(3), k->scale(14), k->scale(14));
    button->setCheckable(true);
    showButtonState(button, false);
    button->raise();
    connect(button, &QPushButton::clicked, this, [this, button, index]() { onCardButtonClicked(button, index); });
}

void ThumbnailTableView::clearPool()
{
    for (QWidget *card : qAsConst(pool))
        delete card;
    pool.clear();
}

void ThumbnailTableView::onCardButtonClicked(QPushButton *button, int index)
{
    if (index < 0 || index >= items.size() || !items[index].selectable)
        return;
    QWidget *card = button->parentWidget() ? button->parentWidget()->parentWidget() : nullptr;
    if (!card || card->isHidden() || card->parentWidget() != page || items[index].widget != card) {
        // A button of a card that left the list: undo its own toggle.
        showButtonState(button, !button->isChecked());
        return;
    }
    const bool checked = button->isChecked();
    if (!selectionEnabled) {
        // The button toggled itself; put it back to what the slot says.
        showButtonState(button, items[index].selected);
        return;
    }
    button->setText(checked ? QString::fromUtf8(kCheckMark) : QString());
    onPhotoSelectionChanged(index, checked);
}

void ThumbnailTableView::onPhotoSelectionChanged(int index, bool selected)
{
    {
        QMutexLocker locker(&mutex);
        if (index < 0 || index >= items.size())
            return;
        if (items[index].selected == selected)
            return;
        items[index].selected = selected;
        m_selectedCount += selected ? 1 : -1;
    }
    QPointer<ThumbnailTableView> guard(this);
    emit selectionChanged(index, selected);
    if (!guard)
        return;
    // Read again: a receiver of selectionChanged may have changed the selection.
    emit selectedCountChanged(selectedCount());
}

void ThumbnailTableView::selectAll()
{
    int count = 0;
    {
        QMutexLocker locker(&mutex);
        for (ThumbnailItem &item : items) {
            if (item.selectable && !item.selected) {
                item.selected = true;
                if (item.selectButton)
                    showButtonState(item.selectButton, true);
            }
            if (item.selected)
                ++count;
        }
        m_selectedCount = count;
    }
    emit selectedCountChanged(count);
}

void ThumbnailTableView::deselectAll()
{
    {
        QMutexLocker locker(&mutex);
        for (ThumbnailItem &item : items) {
            if (!item.selectable)
                continue;
            item.selected = false;
            if (item.selectButton)
                showButtonState(item.selectButton, false);
        }
        m_selectedCount = 0;
    }
    emit selectedCountChanged(0);
}

QList<int> ThumbnailTableView::selectedIndexes() const
{
    QList<int> result;
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].selected)
            result.append(i);
    }
    return result;
}

QStringList ThumbnailTableView::selectedItems() const
{
    QStringList result;
    for (const ThumbnailItem &item : items) {
        if (item.selected)
            result.append(item.name);
    }
    return result;
}

ThumbnailPhoto ThumbnailTableView::photoAt(int index) const
{
    if (index < 0 || index >= photos.size())
        return ThumbnailPhoto();
    return photos.at(index);
}

void ThumbnailTableView::setItemSize(int width, int height)
{
    itemWidth = width;
    itemHeight = height;
}

void ThumbnailTableView::setSelectionEnabled(bool enabled)
{
    selectionEnabled = enabled;
}

void ThumbnailTableView::setColumns(int n)
{
    if (n < 1 || n == columns)
        return;
    columns = n;
    if (!items.isEmpty())
        relayoutItems();
}

void ThumbnailTableView::clearItems()
{
    {
        QMutexLocker locker(&mutex);
        m_selectedCount = 0;
        ++generation;
        retirePage();
        items.clear();
        cardsBuilt = 0;
        updateContentSize();
    }
    batchTimer->stop();
    loadTimer->stop();
}

int ThumbnailTableView::photoCount() const
{
    QMutexLocker locker(&mutex);
    return items.size();
}

int ThumbnailTableView::selectedCount() const
{
    QMutexLocker locker(&mutex);
    return m_selectedCount;
}

int ThumbnailTableView::columnCount() const
{
    return columns;
}

int ThumbnailTableView::poolSize() const
{
    return pool.size();
}

QWidget *ThumbnailTableView::cardAt(int index) const
{
    QMutexLocker locker(&mutex);
    if (index < 0 || index >= items.size())
        return nullptr;
    return items[index].widget;
}

void ThumbnailTableView::updateColumns()
{
    if (!scrollArea)
        return;
    const int gap = K::instance()->scale(5);
    const int n = qMax(1, (scrollArea->viewport()->width() - 4 * gap) / (itemWidth + gap));
    if (n != columns) {
        columns = n;
        if (!items.isEmpty())
            relayoutItems();
    }
}

void ThumbnailTableView::relayoutItems()
{
    if (!contentWidget)
        return;
    QMutexLocker locker(&mutex);
    if (items.isEmpty())
        return;
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].widget)
            items[i].widget->move(cardPosition(i));
    }
    updateContentSize();
}

QPoint ThumbnailTableView::cardPosition(int index) const
{
    const int row = index / columns;
    const int column = index % columns;
    return QPoint(spacing + column * (itemWidth + spacing), spacing + row * (itemHeight + spacing));
}

void ThumbnailTableView::updateContentSize()
{
    // The content is as tall as the rows made so far, like a layout would be.
    const int rows = (cardsBuilt + columns - 1) / columns;
    const int width = 2 * spacing + columns * itemWidth + (columns - 1) * spacing;
    const int height = rows == 0 ? 0 : 2 * spacing + rows * itemHeight + (rows - 1) * spacing;
    contentWidget->setMinimumSize(width, height);
    page->setGeometry(0, 0, width, height);
}

void ThumbnailTableView::onScrollValueChanged(int value)
{
    Q_UNUSED(value)
    if (loadTimer->isActive())
        loadTimer->stop();
    loadTimer->start(200);
}

void ThumbnailTableView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    QTimer::singleShot(100, this, &ThumbnailTableView::updateColumns);
}

void ThumbnailTableView::loadVisiblePhotos()
{
    if (!scrollArea->isVisible() || !contentWidget)
        return;
    const int h = scrollArea->viewport()->height();
    const int v = scrollArea->verticalScrollBar()->value();

    QList<LoadRequest> requests;
    bool needCards = false;
    int g;
    {
        QMutexLocker locker(&mutex);
        g = generation;
        for (int i = 0; i < items.size(); ++i) {
            ThumbnailItem &item = items[i];
            if (item.widget) {
                if (item.loading || item.loaded || !item.widget->isVisible())
                    continue;
                const QRect r = item.widget->geometry();
                const int bottom = r.top() + r.height() - 1;
                if (bottom > v && r.top() < v + h) {
                    item.loading = true;
                    requests.append({item.url, item.name, item.icon, i});
                }
                continue;
            }
            const int estimatedTop = (i / columns) * (itemHeight + 10);
            if (v + 2 * h > estimatedTop) {
                needCards = true;
                break;
            }
        }
    }
    if (needCards && !batchTimer->isActive())
        batchTimer->start();
    for (const LoadRequest &r : qAsConst(requests))
        emit loadPhotoRequest(r.url, r.name, r.icon, r.index, g);
}

void ThumbnailTableView::onPhotoLoaded(QImage image, QString name, int index, int answerGeneration)
{
    QMutexLocker locker(&mutex);
    // Camera file names repeat across orders: index and name alone could
    // match a slot of a newer list.
    if (answerGeneration != generation || index < 0 || index >= items.size())
        return;
    ThumbnailItem &item = items[index];
    if (item.name != name || !item.widget)
        return;
    item.loading = false;
    item.loaded = true;
    if (item.photoLabel) {
        item.photoLabel->clear();
        item.photoLabel->setPixmap(QPixmap::fromImage(image));
    }
}

void ThumbnailTableView::onPhotoLoadFailed(QString name, int index, int answerGeneration)
{
    QMutexLocker locker(&mutex);
    if (answerGeneration != generation || index < 0 || index >= items.size())
        return;
    ThumbnailItem &item = items[index];
    if (item.name != name || !item.widget)
        return;
    item.loading = false;
    if (item.photoLabel) {
        item.photoLabel->clear();
        item.photoLabel->setText(QStringLiteral("加载失败"));
        setLoadFailed(item.photoLabel, true);
    }
}

bool ThumbnailTableView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return QWidget::eventFilter(watched, event);
    auto *mouse = static_cast<QMouseEvent *>(event);
    auto *card = qobject_cast<QWidget *>(watched);
    if (mouse->button() != Qt::LeftButton || !card || !card->property("photoIndex").isValid())
        return QWidget::eventFilter(watched, event);
    auto *button = qobject_cast<QPushButton *>(card->property("selectButton").value<QObject *>());
    // A pooled card is hidden; a click that reaches it late belongs to a list
    // that is gone.
    if (!button || button->isHidden() || card->isHidden() || card->parentWidget() != page)
        return QWidget::eventFilter(watched, event);

    const QRect buttonRect(button->mapTo(card, QPoint(0, 0)), button->size());
    if (buttonRect.contains(mouse->pos()))
        return QWidget::eventFilter(watched, event);

    // A click anywhere on the card is a click on its check button, at the
    // button's centre so that it lands inside at every display scale.
    const QPoint centre = button->rect().center();
    const QPoint global = button->mapToGlobal(centre);
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &release);
    return true;
}
