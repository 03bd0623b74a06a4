#pragma once

#include <QFrame>
#include <QHash>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include "base/orderinfo.h"

class QGridLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class tfthumbnailthread;

// One picked photo or video of the shown order: thumbnail, name and a badge
// that follows the import state.
class PhotoItem : public QFrame
{
    Q_OBJECT

public:
    explicit PhotoItem(const PhotoInfo &entry, QWidget *parent = nullptr);
    ~PhotoItem() override;

    void setStatus(int status);
    void setThumbnail(const QPixmap &pixmap);

    int status() const { return photo.importFlag; }
    const PhotoInfo &entry() const { return photo; }
    QString badgeText() const;
    bool hasThumbnail() const { return !photo.thumbnail.isNull(); }

    static QString statusSymbol(int status);
    static QString statusColor(int status);

signals:
    void retryUploadClicked(QString filePath);

protected:
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void onRetryClicked();

private:
    void setupUI();
    void applyCardStyle();
    void applyStatusBadgeStyle(int status);
    void placeBadge();
    void showPicture();

    PhotoInfo photo;
    QVBoxLayout *cardLayout = nullptr;
    QLabel *thumbnailLabel = nullptr;
    QLabel *nameLabel = nullptr;
    QLabel *statusLabel = nullptr;
    QPushButton *retryButton = nullptr;
};

// The right-hand panel of the photo-transfer window: the files picked for
// the selected order, one card per photo or video, made as their thumbnails
// arrive.
class tfhomephotos : public QWidget
{
    Q_OBJECT

public:
    explicit tfhomephotos(QWidget *parent = nullptr);
    ~tfhomephotos() override;

    void setOrderPhotos(int row, const OrderInfo &order);
    void updatePhotoStatus(int index, const QString &photoName, int status);

    // Cards for entries of the shown order (a photo's "all" entry, or a
    // video) at once, without waiting for their thumbnails, placed in the
    // order given; an entry that has a card already keeps it.
    void addPhotoItems(const QList<PhotoInfo> &entries);
    // Lays the cards out again for the panel's width.
    void refreshLayout();

    // The card of the picked photo or video whose first entry has this index
    // in the shown order's picks; null until its thumbnail arrived.
    PhotoItem *cardForEntry(int index) const;
    QList<PhotoItem *> cards() const { return photoItems; }
    QString title() const;
    const OrderInfo &shownOrder() const { return currentOrder; }

signals:
    void retryUpload(QString filePath);

public slots:
    void onThumbnailGenerated(QString fileName, QString filePath, QPixmap thumbnail, int index);
    void onAllThumbnailsCompleted();
    void onRetryUploadClicked(QString filePath);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void setupUI();
    int calculateColumns() const;
    void relayout();
    void clearPhotos();
    void placeCard(PhotoItem *item, int position, int columns);
    // The card of the entry at index of the shown picks, made when missing;
    // it reaches the grid at the next layout.
    PhotoItem *addPhotoItem(int index);
    // Position of an entry in the shown picks (same file, same size tag), or -1.
    int indexOfEntry(const PhotoInfo &entry) const;
    // Position of the first entry of the photo or video that index belongs to.
    int firstEntryOf(int index) const;

    QVBoxLayout *mainLayout = nullptr;
    QLabel *titleLabel = nullptr;
    QScrollArea *scrollArea = nullptr;
    QWidget *gridContainer = nullptr;
    QGridLayout *gridLayout = nullptr;
    QList<PhotoItem *> photoItems;
    // First entry index of a picked file -> its card.
    QHash<int, PhotoItem *> cardByEntry;
    OrderInfo currentOrder;
    UploadType currentType = UploadType::Photos;
    int layoutColumns = 0;
    tfthumbnailthread *thumbnailThread = nullptr;
};
