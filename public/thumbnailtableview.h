#pragma once

#include <QImage>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <QWidget>

#include "public/thumbnailphoto.h"

class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;
class QVBoxLayout;
class ThumbnailLoadThread;

// The slot of one photo in the grid. The cards belong to the grid's content
// widget; a slot only points at them.
struct ThumbnailItem
{
    QString name;
    QString icon;
    QString url;
    QString localPath;
    bool selectable = true;
    bool selected = false;
    bool loading = false;
    bool loaded = false;
    QWidget *widget = nullptr;
    QLabel *photoLabel = nullptr;
    QLabel *nameLabel = nullptr;
    QPushButton *selectButton = nullptr;
};

// A selectable grid of photo cards for long lists: cards are made in small
// batches on a timer and reused from a pool, and a card's picture is asked
// for only when the card is on screen. Pictures come from a loader on its
// own thread.
class ThumbnailTableView : public QWidget
{
    Q_OBJECT

public:
    explicit ThumbnailTableView(QWidget *parent = nullptr);
    ~ThumbnailTableView() override;

    void setPhotos(const QList<ThumbnailPhoto> &photos);
    void selectAll();
    void deselectAll();
    QList<int> selectedIndexes() const;
    QStringList selectedItems() const;
    ThumbnailPhoto photoAt(int index) const;
    void setItemSize(int width, int height);
    void setSelectionEnabled(bool enabled);
    void setColumns(int n);
    void clearItems();

    // Read-only views for the windows' own checks and for tests.
    int photoCount() const;
    int selectedCount() const;
    int columnCount() const;
    int poolSize() const;
    // Cards of replaced lists still waiting to be deleted.
    int retiredCardCount() const;
    QWidget *cardAt(int index) const;

signals:
    void selectionChanged(int index, bool selected);
    void selectedCountChanged(int count);
    void loadPhotoRequest(QString url, QString name, QString icon, int index, int generation);
    void cancelAllPhotoRequests();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void onPhotoLoaded(QImage image, QString name, int index, int generation);
    void onPhotoLoadFailed(QString name, int index, int generation);
    void onScrollValueChanged(int value);
    void loadVisiblePhotos();
    void createPhotoItemsBatch();
    void onPhotoSelectionChanged(int index, bool selected);

private:
    void buildUi();
    void updateColumns();
    void relayoutItems();
    void setPhotoList(const QList<ThumbnailPhoto> &photos);
    void recycleItems();
    QWidget *acquirePhotoItem(int index);
    QWidget *createPhotoItem(const QString &name, int index);
    void reinitPhotoItem(QWidget *card, const QString &name, int index);
    // Shows a card's check button unticked and routes its clicks to the slot.
    void armSelectButton(QPushButton *button, int index);
    void clearPool();
    // A new, empty page of cards over the content widget; the cards of the
    // old one are taken down a slice per turn of the event loop.
    void retirePage();
    void takeDownRetired();
    QWidget *makePage();
    QPoint cardPosition(int index) const;
    void updateContentSize();
    void onCardButtonClicked(QPushButton *button, int index);

    QVBoxLayout *mainLayout = nullptr;
    QScrollArea *scrollArea = nullptr;
    QWidget *contentWidget = nullptr;
    // The cards of the shown list, and the pooled ones, live on this page.
    // Replacing a list of thousands of built cards swaps in a new page: the
    // old one leaves the screen in one step and its cards are deleted a
    // slice at a time, where hiding and deleting them at once held the
    // event loop longer than a frame budget allows.
    QWidget *page = nullptr;
    QList<QWidget *> retiredPages;
    QTimer *takeDownTimer = nullptr;
    // Cards are placed by position, not by a layout: a grid layout of
    // thousands of cards recomputes every cell on each added card.
    int spacing = 0;
    int cardsBuilt = 0;
    ThumbnailLoadThread *loader = nullptr;
    QTimer *loadTimer = nullptr;
    QTimer *batchTimer = nullptr;
    QList<ThumbnailPhoto> photos;
    QList<ThumbnailItem> items;
    QList<QWidget *> pool;
    int columns = 5;
    int itemWidth = 0;
    int itemHeight = 0;
    int nextBatchIndex = 0;
    int batchSize = 8;
    int maxPoolSize = 50;
    int generation = 0;
    int m_selectedCount = 0;
    // Guards items. Never held while a signal is emitted or events run: a
    // receiver connected directly may call back into the grid.
    mutable QMutex mutex;
    bool selectionEnabled = false;
};
