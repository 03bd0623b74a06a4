#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "base/orderinfo.h"

class QGridLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;
class QVBoxLayout;
class TFDelLocalPhotoImg;
class ThumbnailLoadThread;

// One photo of the grid.
struct PhotoGridItem
{
    QString id;
    QString name;
    QString url;
    QString localpath;
    QLabel *photoLabel = nullptr;
    QLabel *nameLabel = nullptr;
    QWidget *card = nullptr;
    bool requested = false;
    bool loaded = false;
    bool selected = false;
};

// The lower-left panel of the photo-transfer window: the photos (or videos)
// the service holds for the selected order, in a lazily built grid whose
// selected photos can be deleted on the service and on disk.
class tfhomeorders_PhotoDisplayWidget : public QWidget
{
    Q_OBJECT

public:
    explicit tfhomeorders_PhotoDisplayWidget(QWidget *parent = nullptr);
    ~tfhomeorders_PhotoDisplayWidget() override;

    // Request context, written by the search panel after every shop switch.
    QString shopId;
    QString eid;
    QString superId;

    // Shows the order's photos by name (IMG_2 before IMG_10).
    void setOrder(const OrderInfo &order);
    // Adds a photo where its name puts it among the shown ones.
    void addImportedPhoto(const PhotoInfo &photo);
    // The shown order's stored lists changed (a report answered, a reload or
    // a refresh came): photos added to the shown ones go in where their
    // names put them, keeping cards, pictures and selection; any other
    // change shows the order afresh. Another order than the shown one is
    // ignored.
    void followOrder(const OrderInfo &stored);
    void setDeletePermission(int permission);

    const OrderInfo &shownOrder() const { return order; }
    UploadType shownListType() const { return shownType; }
    int itemCount() const { return items.size(); }
    QStringList photoNames() const;
    QStringList selectedNames() const;
    int selectedPhotoCount() const { return selectedCount; }
    // Marks one photo as a click on its select button does.
    void setPhotoSelected(int index, bool selected);
    bool isPhotoSelected(int index) const;
    bool isPhotoLoaded(int index) const;
    QWidget *cardAt(int index) const;
    QString title() const;
    // Creates the cards of every photo at once (tests, and a reload that
    // must show everything).
    void createAllCards();

signals:
    void loadPhotoRequest(QString url, QString key, QString icon, int index, int generation);
    void cancelAllPhotoRequests();
    void selectedPhotosDeleted(QStringList names);
    void reloadOrderThumbnail(QString orderPhotoId);

public slots:
    void onPhotoLoaded(QImage image, QString key, int index, int generation);
    void onPhotoLoadFailed(QString key, int index, int generation);
    void onScrollValueChanged(int value);
    void loadVisiblePhotos();
    void createPhotoItemsBatch();
    void cleanupMemory();
    void onPhotoSelectionChanged(int index, bool selected);
    void onSelectAllToggled();
    void onDeleteSelectedPhotos();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void setupUI();
    void updateColumns();
    void setPhotos(const QList<PhotoInfo> &photos);
    void resetView();
    QWidget *acquireCard(int index);
    QWidget *createCard(const QString &name, int index);
    void reinitCard(QWidget *card, const QString &name, int index);
    void attachCard(int index);
    // Cards from first on moved one place on (a photo went in before them).
    void shiftCardsFrom(int first);
    void connectSelectButton(QPushButton *button, int index);
    void applySelectStyle(QPushButton *button, bool on);
    void refreshButtons();
    bool cardOnScreen(QWidget *card) const;
    void requestThumbnail(int index);
    PhotoGridItem *cardItemFor(int index, const QString &key, int answerGeneration) const;
    void postDelPhotos(const QStringList &ids, const QStringList &localPaths);
    // Removes the local copies of deleted photos that lie in the order's own
    // folders; returns how many files could not be removed.
    QStringList removeLocalCopies(const OrderInfo &deleted, const QStringList &localPaths);
    static QString keptText(const QStringList &kept);
    void showBox(bool warning, const QString &text);

    QLabel *titleLabel = nullptr;
    QVBoxLayout *mainLayout = nullptr;
    QScrollArea *scrollArea = nullptr;
    QWidget *container = nullptr;
    QGridLayout *gridLayout = nullptr;
    QList<PhotoGridItem *> items;
    QPushButton *selectAllButton = nullptr;
    QPushButton *deleteButton = nullptr;
    ThumbnailLoadThread *loader = nullptr;
    QTimer *loadTimer = nullptr;
    QList<QWidget *> cardPool;
    QTimer *batchTimer = nullptr;
    QTimer *cleanupTimer = nullptr;
    QStringList urls;
    QStringList names;
    int nextIndex = 0;
    int batchSize = 8;
    int generation = 0;
    int poolLimit = 50;
    int selectedCount = 0;
    int columns = 5;
    int cardWidth = 0;
    int cardHeight = 0;
    OrderInfo order;
    // The list the grid shows (photos, trial or retouched videos): deletes
    // go to the action of that list, whatever type is selected later.
    UploadType shownType = UploadType::Photos;
    TFDelLocalPhotoImg *localRemover = nullptr;
    int deletePermission = 0;
};
