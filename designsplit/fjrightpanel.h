#pragma once

#include <QJsonArray>
#include <QString>
#include <QWidget>

#include "designsplit/jobs/fjrecords.h"

class DatePopup;
class FolderNamingRule;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class ThumbnailTableView;

// The right half of the design-split window: shop, order search, target
// folder, start, and one block per mode: the naming-rule editor with reset
// and save (design split), the not-downloaded and downloaded raw files of the
// picked order (raw download), or the delivery folders to download (photo
// delivery). Only the rule save talks to the service; everything else leaves
// through signals the window wires.
class FJRightPanel : public QWidget
{
    Q_OBJECT

public:
    explicit FJRightPanel(QWidget *parent = nullptr);
    ~FJRightPanel() override;

    // Called once, right after construction.
    void setSplitType(int type);
    // The shop's stored rule, as the product folders use it.
    QJsonArray namingRule() const;
    void setControlsEnabled(bool enabled);
    // Refreshes both image lists from currentOrder.
    void showOrderImages();
    // Forgets the shown order: no row, empty lists (a new order list).
    void clearCurrentOrder();
    void saveNamingRule();
    // Whether the account has a shop to search in.
    bool hasShop() const;
    // Sets the target folder as the folder dialog does.
    void setSplitDirectory(const QString &path);

    QString shopId;
    QString superId;
    QString eid;
    QString splitDirectory;
    QJsonArray editedRule;
    QJsonArray storedRule;
    int splitType = 0;

    QVBoxLayout *mainLayout = nullptr;
    QHBoxLayout *shopRow = nullptr;
    QLabel *shopLabel = nullptr;
    QComboBox *shopCombo = nullptr;
    QHBoxLayout *searchRow = nullptr;
    QLabel *searchTypeLabel = nullptr;
    QComboBox *searchTypeCombo = nullptr;
    QLineEdit *keywordEdit = nullptr;
    QDateEdit *shotDateEdit = nullptr;
    QDateEdit *selectDateEdit = nullptr;
    QHBoxLayout *directoryRow = nullptr;
    QPushButton *chooseDirectoryButton = nullptr;
    QLabel *directoryLabel = nullptr;
    QHBoxLayout *buttonRow = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *searchButton = nullptr;

    QVBoxLayout *optionsLayout = nullptr;
    QLabel *optionsLabel = nullptr;
    QHBoxLayout *optionsRow = nullptr;
    QCheckBox *rawBox = nullptr;
    QCheckBox *originalBox = nullptr;
    QCheckBox *simpleRetouchBox = nullptr;
    QCheckBox *simpleRetouchRejectsBox = nullptr;
    QCheckBox *fineRetouchBox = nullptr;

    QWidget *undownloadedSection = nullptr;
    QLabel *undownloadedTitle = nullptr;
    QPushButton *undownloadedSelectAllButton = nullptr;
    QPushButton *undownloadedClearAllButton = nullptr;
    ThumbnailTableView *undownloadedGrid = nullptr;
    QWidget *downloadedSection = nullptr;
    QLabel *downloadedTitle = nullptr;
    QPushButton *downloadedSelectAllButton = nullptr;
    QPushButton *downloadedClearAllButton = nullptr;
    ThumbnailTableView *downloadedGrid = nullptr;

    FolderNamingRule *namingRuleEditor = nullptr;
    QPushButton *resetRuleButton = nullptr;
    QPushButton *saveRuleButton = nullptr;

    // Row of the left panel's order list whose images are shown; -1 for none.
    int currentRow = -1;
    OrderData currentOrder;

    DatePopup *datePopup = nullptr;

signals:
    void searchRequested(QString searchType, QString keyword, QString shopId);
    void startProcessRequested();
    void downAndUnDownImgSelectedChange();
    void shopChange();

public slots:
    void onSearchTypeChanged();
    void onChooseDirectoryClicked();
    void onStartProcessClicked();
    void onSearchOrderClicked();
    void onDateEditClicked();
    void onUndownloadSelectAllClicked();
    void onUndownloadClearAllClicked();
    void onDownloadedSelectAllClicked();
    void onDownloadedClearAllClicked();
    void onSetSearchBtnStatus(bool done);

private:
    void setupUi();
    void buildImageLists();
    QWidget *buildImageSection(bool downloaded);
    void buildOptions();
    void buildNamingRule();
    void onShopIndexChanged(int index);
    void loadShopRule(int index);
    void onGridSelectionChanged(bool downloaded, int index, bool selected);
    void setAllSelected(bool downloaded, bool selected);
    QString searchTypeText() const;
    QString searchText() const;
    int shopIndex() const;
    int searchTypeIndex() const;
    void warn(const QString &text);

    bool m_controlsEnabled = true;
};
