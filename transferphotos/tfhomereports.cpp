#include "transferphotos/tfhomereports.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/k.h"
#include "base/pathutil.h"
#include "transferphotos/jobs/tflog.h"
#include "base/orderreplies.h"

tfhomereports::tfhomereports(QObject *parent)
    : QObject(parent)
    , m_req(new BaseReq(this))
{
}

tfhomereports::~tfhomereports() = default;

OrderService::Action tfhomereports::photoAction(UploadType type)
{
    return type == UploadType::Photos ? OrderService::Action::SavePhoto : OrderService::Action::SaveVideo;
}

QString tfhomereports::typeText(UploadType type)
{
    switch (type) {
    case UploadType::TrialVideo:
        return QStringLiteral("2");
    case UploadType::RetouchedVideo:
        return QStringLiteral("3");
    case UploadType::Photos:
        break;
    }
    return QStringLiteral("1");
}

QByteArray tfhomereports::photoBody(const QString &orderPhotoId, qint64 size, const QString &sharePath,
                                    const PhotoInfo &entry, UploadType type, const ReportContext &context)
{
    OrderService::SavedFile file;
    file.orderPhotoId = orderPhotoId;
    file.personId = g_enterpriseId;
    file.size = size;
    file.ratio = entry.ratio.isEmpty() ? QStringLiteral("all") : entry.ratio;
    file.path = sharePath;
    if (type != UploadType::Photos) {
        file.type = typeText(type);
        file.photoNames = entry.img_name;
    }
    return OrderService::savedFileBody(file, context);
}

QByteArray tfhomereports::orderPathBody(const QString &orderPhotoId, const QString &shareFolder,
                                        const ReportContext &context)
{
    return OrderService::orderFolderBody(orderPhotoId, g_enterpriseId, shareFolder, context);
}

QByteArray tfhomereports::orderDataBody(const QString &orderPhotoId, int count, const QString &shareFolder,
                                        const QString &names, UploadType type, const ReportContext &context)
{
    return OrderService::importLogBody(orderPhotoId, count, shareFolder, names, typeText(type), context);
}

QString tfhomereports::entryPath(const PhotoInfo &entry)
{
    QString path = entry.targetDir;
    if (!path.endsWith(QLatin1Char('\\')) && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('\\');
    path += entry.sizeTag + QLatin1Char('\\') + entry.img_name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

bool tfhomereports::isReported(const PhotoInfo &entry, UploadType type)
{
    return type != UploadType::Photos || entry.sizeTag == QLatin1String("all");
}

QString tfhomereports::orderLabel(const OrderInfo &order)
{
    return order.orderpayforkey + QLatin1Char('-') + order.servicetimes;
}

QString tfhomereports::replyProblem(bool ok, const QJsonDocument &doc)
{
    if (!ok)
        return QStringLiteral("网络错误");
    const OrderService::Answer answer = OrderService::check(doc, OrderService::TextField::MessageOrMsg);
    return answer.ok ? QString() : answer.messageOr(QStringLiteral("服务器未接受"));
}

void tfhomereports::post(OrderService::Action action, const QByteArray &body, OrderService::Callback callback)
{
    // One client for every report: each reply keeps its own callback, so a
    // 500-photo order does not build 500 network managers.
    m_req->post(OrderService::action(action), body, std::move(callback));
}

tfhomereports::OrderReports &tfhomereports::stateOf(const OrderInfo &order)
{
    OrderReports &state = m_orders[order.order_photo_id];
    state.label = orderLabel(order);
    state.row = order.row;
    return state;
}

ReportContext tfhomereports::contextOf(const QString &orderPhotoId) const
{
    const auto it = m_orders.constFind(orderPhotoId);
    return it != m_orders.constEnd() && it->hasContext ? it->context : m_context;
}

void tfhomereports::addFailure(OrderReports &state, const QString &name, const QString &line)
{
    // A file is named once per run, however many of its copies failed.
    if (state.failedNames.contains(name))
        return;
    qCWarning(lcTransfer) << "照片上报失败:" << state.label << line;
    state.failedNames.insert(name);
    state.failures.append(line);
}

void tfhomereports::settle(const QString &orderPhotoId)
{
    auto it = m_orders.find(orderPhotoId);
    if (it == m_orders.end() || !it->finished || !it->pendingNames.isEmpty())
        return;
    it->finished = false;
    const bool reportOrder = it->reportOrder;
    const int row = it->row;
    const QString label = it->label;
    const QStringList failures = it->failures;
    it->failures.clear();
    it->failedNames.clear();
    if (reportOrder)
        emit orderSettled(orderPhotoId, row);
    if (!failures.isEmpty())
        emit orderReportsFailed(orderPhotoId, label, failures);
}

bool tfhomereports::isSaved(const QString &orderPhotoId, const QString &name) const
{
    return m_orders.value(orderPhotoId).saved.contains(name);
}

QStringList tfhomereports::openProblems(const QString &orderPhotoId) const
{
    const OrderReports state = m_orders.value(orderPhotoId);
    QStringList problems;
    if (!state.unsaved.isEmpty()) {
        QStringList names = state.unsaved.values();
        names.sort();
        problems << QStringLiteral("%1 个文件未能上报：%2").arg(QString::number(names.size()), names.join(QStringLiteral("、")));
    }
    if (!state.folderProblem.isEmpty())
        problems << QStringLiteral("导片目录未能上报：") + state.folderProblem;
    if (!state.dataProblem.isEmpty())
        problems << QStringLiteral("订单导片记录未能上报：") + state.dataProblem;
    return problems;
}

int tfhomereports::pendingReports(const QString &orderPhotoId) const
{
    return m_orders.value(orderPhotoId).pendingNames.size();
}

bool tfhomereports::isBusy() const
{
    for (const OrderReports &state : m_orders) {
        if (!state.pendingNames.isEmpty())
            return true;
    }
    return false;
}

void tfhomereports::beginRun(const OrderInfo &order, const ReportContext &context)
{
    OrderReports &state = stateOf(order);
    state.context = context;
    state.hasContext = true;
    state.finished = false;
    state.reportOrder = false;
    state.failures.clear();
    state.failedNames.clear();
    // A photo copied again may be another file of the same name: it counts
    // as saved only once this run has reported it.
    const UploadType type = OrderPicks::typeOfPicks(order, UploadType::Photos);
    const QList<PhotoInfo> &entries = order.selectedFiles;
    for (int i = 0; i < entries.size(); ++i) {
        if (!isReported(entries.at(i), type))
            continue;
        const int copies = type == UploadType::Photos ? 4 : 1;
        bool done = i + copies <= entries.size();
        for (int k = i; done && k < i + copies; ++k)
            done = entries.at(k).importFlag == int(PhotoStatus::Uploaded);
        if (!done) {
            state.saved.remove(entries.at(i).img_name);
            state.unsaved.remove(entries.at(i).img_name);
        }
    }
}

void tfhomereports::reportPhoto(const OrderInfo &order, const PhotoInfo &entry, const QString &path,
                                UploadType type, bool copied, const QString &copyError)
{
    if (!isReported(entry, type))
        return;
    const QString orderPhotoId = order.order_photo_id;
    OrderReports &state = stateOf(order);
    const QString name = entry.img_name;
    if (!copied) {
        // Only a photo whose copies all exist may be reported as saved.
        addFailure(state, name, QStringLiteral("%1：导入失败，未上报（%2）").arg(name, copyError));
        return;
    }
    if (state.saved.contains(name) || state.pendingNames.contains(name))
        return;
    const QFileInfo info(PathUtil::toFs(path));
    if (!info.isFile()) {
        qCDebug(lcTransfer) << "导入照片路径失败，不执行upImportPhotoInfo";
        addFailure(state, name, QStringLiteral("%1：导入后的文件不存在，未上报").arg(name));
        return;
    }
    const QString sharePath = K::instance()->fixSharePath(order.resolvedImportPath, path);
    const QByteArray body = photoBody(orderPhotoId, info.size(), sharePath, entry, type, contextOf(orderPhotoId));
    state.pendingNames.insert(name);
    const int row = order.row;
    post(photoAction(type), body, [this, orderPhotoId, row, name, type](bool ok, const QJsonDocument &doc) {
        OrderReports &state = m_orders[orderPhotoId];
        state.pendingNames.remove(name);
        const QJsonObject reply = doc.object();
        const QString problem = replyProblem(ok, doc);
        if (!problem.isEmpty()) {
            state.unsaved.insert(name);
            addFailure(state, name, QStringLiteral("%1：上报失败（%2）").arg(name, problem));
        } else if (reply.value(QStringLiteral("img_name")).toString() != name) {
            // The service answered about another file: nothing of it is kept.
            qCWarning(lcTransfer) << "上报回复的文件名不符，已丢弃:" << name
                                  << reply.value(QStringLiteral("img_name")).toString();
            state.unsaved.insert(name);
            addFailure(state, name, QStringLiteral("%1：服务器回复的文件名不符").arg(name));
        } else {
            state.saved.insert(name);
            state.unsaved.remove(name);
            PhotoInfo saved;
            saved.id = reply.value(QStringLiteral("id")).toString();
            saved.img_name = name;
            saved.url = reply.value(QStringLiteral("url")).toString();
            saved.localpath = reply.value(QStringLiteral("localpath")).toString();
            emit photoSaved(orderPhotoId, row, saved, int(type));
        }
        settle(orderPhotoId);
        if (!isBusy())
            emit idle();
    });
}

void tfhomereports::reportOrderPath(const OrderInfo &order, const QString &folder)
{
    const QString orderPhotoId = order.order_photo_id;
    OrderReports &state = stateOf(order);
    state.folder = folder;
    const QString shareFolder = K::instance()->fixSharePath(order.resolvedImportPath, folder);
    post(OrderService::Action::SaveOrderFolder,
         orderPathBody(orderPhotoId, shareFolder, contextOf(orderPhotoId)),
         [this, orderPhotoId](bool ok, const QJsonDocument &doc) {
             OrderReports &state = m_orders[orderPhotoId];
             state.folderProblem = replyProblem(ok, doc);
             if (!state.folderProblem.isEmpty())
                 qCWarning(lcTransfer) << "导片目录上报失败:" << state.label << state.folderProblem;
             // Answered after the order report: the order shows it all the same.
             if (state.runReported)
                 emit orderReportsDone(orderPhotoId, state.row, openProblems(orderPhotoId));
         });
}

void tfhomereports::reportOrderData(const OrderInfo &order, int count, const QString &names, UploadType type)
{
    const QString orderPhotoId = order.order_photo_id;
    OrderReports &state = stateOf(order);
    state.runReported = false;
    const QString shareFolder = K::instance()->fixSharePath(order.resolvedImportPath, order.importPath);
    post(OrderService::Action::LogImport,
         orderDataBody(orderPhotoId, count, shareFolder, names, type, contextOf(orderPhotoId)),
         [this, orderPhotoId](bool ok, const QJsonDocument &doc) {
             OrderReports &state = m_orders[orderPhotoId];
             state.dataProblem = replyProblem(ok, doc);
             if (!state.dataProblem.isEmpty())
                 qCWarning(lcTransfer) << "订单导片记录上报失败:" << state.label << state.dataProblem;
             state.runReported = true;
             emit orderReportsDone(orderPhotoId, state.row, openProblems(orderPhotoId));
         });
}

void tfhomereports::finishOrder(const OrderInfo &order, bool reportOrder)
{
    OrderReports &state = stateOf(order);
    state.finished = true;
    state.reportOrder = reportOrder;
    settle(order.order_photo_id);
}

void tfhomereports::resubmit(const OrderInfo &order, const QList<PhotoInfo> &entries, UploadType type)
{
    OrderReports &state = stateOf(order);
    state.finished = false;
    state.reportOrder = false;
    state.failures.clear();
    state.failedNames.clear();
    const bool resendFolder = !state.folderProblem.isEmpty();
    const QString folder = state.folder;
    // Files the service already saved are skipped by reportPhoto.
    for (const PhotoInfo &entry : entries)
        reportPhoto(order, entry, entryPath(entry), type, true, QString());
    if (resendFolder)
        reportOrderPath(order, folder);
    finishOrder(order, true);
}
