#include "importfiles/originalview.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QResizeEvent>
#include <QSet>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include "base/handover.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "base/orderservice.h"
#include "importfiles/jobs/importlog.h"
#include "importfiles/jobs/originalsreply.h"
#include "public/elementbutton.h"
#include "public/fullscreenloading.h"
#include "public/simpledialog.h"
#include "public/textwidth.h"
#include "public/theme.h"
#include "public/thumbnailtableview.h"
#include "public/toastwidget.h"

namespace {

// The heading names the order and its people and may be longer than the
// room the buttons beside it leave. It gives way, elided with the whole
// text as its tooltip, instead of squeezing the buttons' texts.
class TitleLabel : public QLabel
{
public:
    using QLabel::QLabel;

    void setTitle(const QString &title)
    {
        full = title;
        setToolTip(title);
        showElided();
        updateGeometry();
    }
    QString title() const { return full; }

    QSize sizeHint() const override
    {
        QSize hint = QLabel::sizeHint();
        hint.setWidth(fontMetrics().horizontalAdvance(full) + room() + width() - contentsRect().width());
        return hint;
    }
    QSize minimumSizeHint() const override
    {
        return QSize(K::instance()->scale(60), QLabel::minimumSizeHint().height());
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        showElided();
    }

private:
    // A bold Chinese text is drawn a little wider than its advance (the
    // fallback font is made bold by the renderer): one average character
    // of room keeps its last glyph whole.
    int room() const { return fontMetrics().averageCharWidth(); }
    void showElided() { setText(TextWidth::elided(fontMetrics(), full, contentsRect().width() - room())); }

    QString full;
};

} // namespace

OriginalView::OriginalView(QWidget *parent)
    : QWidget(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("OriginalView"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("Form"));
    qRegisterMetaType<DeleteFileResult>("DeleteFileResult");
    pool = new QThreadPool(this);
    pool->setMaxThreadCount(4);
}

OriginalView::~OriginalView()
{
    if (!pool)
        return;
    qCDebug(lcImport) << "开始清理线程池...";
    pool->clear();
    if (pool->waitForDone(5000))
        qCDebug(lcImport) << "线程池已安全清理";
    else
        qCDebug(lcImport) << "警告：线程池未能在5秒内完成所有任务";
}

void OriginalView::initUi()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 10, 4, 10);
    layout->setSpacing(10);
    auto *bar = new QHBoxLayout();
    // Close together: at 1366 pixels the pane beside the order table is no
    // wider than this bar, and the order table needs every pixel.
    bar->setSpacing(6);
    auto *title = new TitleLabel(this);
    titleLabel = title;
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    titleLabel->setStyleSheet(Theme::sheet(QStringLiteral("QLabel {font-size: ") + K::instance()->scaleText(13)
                                           + QStringLiteral("px;    font-weight: 600;    color: @text;    padding: 5px 0;}")));
    title->setTitle(QStringLiteral("已导入"));
    refreshButton = new ElementButton(QStringLiteral("刷新"), 2, this);
    refreshButton->setObjectName(QStringLiteral("refreshButton"));
    selectAllButton = new ElementButton(QStringLiteral("全选"), 1, this);
    selectAllButton->setObjectName(QStringLiteral("selectAllButton"));
    deselectAllButton = new ElementButton(QStringLiteral("取消全选"), 0, this);
    deselectAllButton->setObjectName(QStringLiteral("deselectAllButton"));
    deleteButton = new ElementButton(QStringLiteral("删除"), 3, this);
    deleteButton->setObjectName(QStringLiteral("deleteButton"));
    bar->addWidget(titleLabel);
    bar->addWidget(refreshButton);
    bar->addStretch(1);
    bar->addWidget(selectAllButton);
    bar->addWidget(deselectAllButton);
    bar->addWidget(deleteButton);
    // The buttons never get narrower than their texts; the heading gives way.
    for (ElementButton *button : {refreshButton, selectAllButton, deselectAllButton, deleteButton}) {
        button->ensurePolished();
        button->setMinimumWidth(button->sizeHint().width());
    }
    selectAllButton->hide();
    deselectAllButton->hide();
    deleteButton->hide();
    layout->addLayout(bar);

    thumbnailView = new ThumbnailTableView(this);
    thumbnailView->setObjectName(QStringLiteral("thumbnailView"));
    layout->addWidget(thumbnailView);

    connect(selectAllButton, &QPushButton::clicked, this, &OriginalView::onSelectAllClicked);
    connect(deselectAllButton, &QPushButton::clicked, this, &OriginalView::onDeselectAllClicked);
    connect(refreshButton, &QPushButton::clicked, this, &OriginalView::onRefreshClicked);
    connect(deleteButton, &QPushButton::clicked, this, &OriginalView::onDeleteClicked);
}

QString OriginalView::title() const
{
    return titleLabel ? static_cast<TitleLabel *>(titleLabel)->title() : QString();
}

void OriginalView::onSelectAllClicked()
{
    if (idle)
        thumbnailView->selectAll();
}

void OriginalView::onDeselectAllClicked()
{
    if (idle)
        thumbnailView->deselectAll();
}

void OriginalView::onRefreshClicked()
{
    if (!idle)
        return;
    FullScreenLoading::showLoading(this, QStringLiteral("正在刷新中..."), true);
    reqPhotoData();
}

void OriginalView::onDeleteClicked()
{
    if (idle)
        deleteSelectedFiles();
}

void OriginalView::setOrder(const QMap<QString, QString> &map)
{
    order = map;
    // One arg() call: a "%1" in a name from the service stays as it is.
    static_cast<TitleLabel *>(titleLabel)->setTitle(QStringLiteral("已导入 %1-%2 %3 %4 %5")
                            .arg(map.value(QStringLiteral("orderpayforkey")), map.value(QStringLiteral("servicetimes")),
                                 map.value(QStringLiteral("wname")), map.value(QStringLiteral("mname")),
                                 map.value(QStringLiteral("role1name"))));
    const bool mayDelete = map.value(QStringLiteral("delyp")) == QLatin1String("1");
    selectAllButton->setVisible(mayDelete);
    deselectAllButton->setVisible(mayDelete);
    deleteButton->setVisible(mayDelete);
    thumbnailView->setPhotos(QList<ThumbnailPhoto>());
    reqPhotoData();
}

QString OriginalView::stamp()
{
    // Strictly increasing, so two requests within one millisecond still
    // tell their answers apart.
    lastStamp = qMax(lastStamp + 1, QDateTime::currentMSecsSinceEpoch());
    timestamp = QString::number(lastStamp);
    return timestamp;
}

void OriginalView::reqPhotoData()
{
    const QByteArray body = OrderService::originalsBody(order.value(QStringLiteral("shopid")),
                                                        order.value(QStringLiteral("order_photo_id")), stamp());
    OrderService::send(this, OrderService::Action::Originals, body,
                       [this](bool ok, const QJsonDocument &reply) { onPhotoDataReply(ok, reply); });
}

void OriginalView::onPhotoDataReply(bool ok, const QJsonDocument &reply)
{
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
        overlay->closeOverlay();
    if (!ok)
        return;
    const QJsonObject object = reply.object();
    const QJsonValue echoed = object.value(QStringLiteral("timestamp"));
    if (!echoed.isString() || echoed.toString() != timestamp) {
        qCDebug(lcImport) << "原片列表的回复已过期，已丢弃";
        return;
    }
    const OrderService::Answer answer = OrderService::check(object);
    if (!answer.ok) {
        ModalBox::showMessage(this, QMessageBox::Warning, QStringLiteral("温馨提示"), answer.message);
        return;
    }
    thumbnailView->setPhotos(OriginalsReply::photos(object));
}

void OriginalView::deleteSelectedFiles()
{
    const QList<int> indexes = thumbnailView->selectedIndexes();
    if (indexes.isEmpty()) {
        ToastWidget::showToast(this, QStringLiteral("请选择要删除的文件..."), 2000);
        return;
    }
    // A raw file listed after two originals is one photo: deleted once.
    QList<ThumbnailPhoto> photos;
    QStringList ids;
    QSet<QString> seen;
    for (const int index : indexes) {
        const ThumbnailPhoto photo = thumbnailView->photoAt(index);
        if (photo.localPath.isEmpty() || seen.contains(photo.id))
            continue;
        seen.insert(photo.id);
        photos.append(photo);
        ids.append(photo.id);
    }
    if (photos.isEmpty()) {
        ToastWidget::showToast(this, QStringLiteral("没有有效的文件可以删除"), 2000);
        return;
    }
    idle = false;
    deleteMessages.clear();
    FullScreenLoading::showLoading(this, QStringLiteral("提交删除数据中..."), true);
    const QByteArray body = OrderService::deleteOriginalsBody(
        order.value(QStringLiteral("shopid")), order.value(QStringLiteral("order_photo_id")), ids, stamp());
    OrderService::send(this, OrderService::Action::DeleteOriginals, body,
                       [this, photos](bool ok, const QJsonDocument &reply) { onDeleteReply(photos, ok, reply); });
}

void OriginalView::onDeleteReply(const QList<ThumbnailPhoto> &photos, bool ok, const QJsonDocument &reply)
{
    FullScreenLoading *overlay = FullScreenLoading::instance(this);
    const OrderService::Answer answer = OrderService::check(reply);
    if (!ok || !answer.ok) {
        if (overlay)
            overlay->showError(ok ? answer.message : QStringLiteral("提交数据失败"), 1500);
        idle = true;
        return;
    }
    deleteTotal = photos.size();
    deleteSuccessCount = 0;
    deleteFailCount = 0;
    if (overlay)
        overlay->setText(QStringLiteral("正在删除 0/%1...").arg(deleteTotal));
    qCDebug(lcImport) << "开始删除" << deleteTotal << "个文件";
    for (const ThumbnailPhoto &photo : photos) {
        auto *job = new DeleteFileRunnable(photo, order.value(QStringLiteral("importPath")));
        connect(job, &DeleteFileRunnable::deleteFinished, this, &OriginalView::onDeleteFinished, Qt::QueuedConnection);
        HandOver::start(pool, job);
    }
}

void OriginalView::onDeleteFinished(const DeleteFileResult &result)
{
    if (result.success)
        ++deleteSuccessCount;
    else
        ++deleteFailCount;
    deleteMessages += QLatin1Char('\n') + result.message;
    const int done = deleteSuccessCount + deleteFailCount;
    if (FullScreenLoading *overlay = FullScreenLoading::instance(this))
        overlay->setText(QStringLiteral("正在删除 %1/%2...").arg(done).arg(deleteTotal));
    if (done < deleteTotal)
        return;
    idle = true;
    qCDebug(lcImport) << "删除完成 - 成功:" << deleteSuccessCount << "失败:" << deleteFailCount;
    QPointer<FullScreenLoading> overlay = FullScreenLoading::instance(this);
    QTimer::singleShot(300, this, [this, overlay]() {
        if (overlay) {
            if (deleteSuccessCount > 0)
                overlay->showSuccess(QStringLiteral("删除完成！"), 1500);
            else
                overlay->showError(QStringLiteral("删除失败!"), 1500);
        }
        finishDelete();
    });
}

void OriginalView::finishDelete()
{
    qCDebug(lcImport) << "删除失败的信息:" << deleteMessages;
    QString bare = deleteMessages;
    bare.remove(QLatin1Char(' '));
    bare.remove(QLatin1Char('\n'));
    if (!bare.isEmpty()) {
        SimpleDialog::showSuccess(nullptr, QStringLiteral("温馨提示"),
                                  QStringLiteral("本地文件删除失败，请检查手动删除以下照片！") + deleteMessages, false);
    }
    reqPhotoData();
}
