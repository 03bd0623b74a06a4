#include "base/k.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <QApplication>
#include <QDataStream>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QJsonDocument>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTranslator>

#include "base/fileops.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "base/pathutil.h"
#include "base/safename.h"
#include "base/orderinfo.h"

Q_LOGGING_CATEGORY(lcK, "velquora.base")

namespace {

// The value without invisible characters, the characters of extra, and
// leading dots (a hidden folder on most systems, and "." or ".." alone).
QString cleanValue(const QString &value, const QString &extra = QString())
{
    QVector<uint> kept;
    const QVector<uint> codePoints = value.toUcs4();
    kept.reserve(codePoints.size());
    for (uint c : codePoints) {
        if (SafeName::isInvisible(c) || (c < 0x10000 && extra.contains(QChar(c))))
            continue;
        kept.append(c);
    }
    int start = 0;
    while (start < kept.size() && kept.at(start) == '.')
        ++start;
    return QString::fromUcs4(kept.constData() + start, kept.size() - start);
}


} // namespace

K *K::instance()
{
    static K k;
    return &k;
}

void K::initApplication(QApplication &app)
{
    loadFont();

    const QString appDir = QCoreApplication::applicationDirPath();
    const QString qtDir = QLibraryInfo::location(QLibraryInfo::TranslationsPath);

    auto *qtTranslator = new QTranslator(&app);
    if (qtTranslator->load(QStringLiteral("qt_zh_CN.qm"), appDir)) {
        app.installTranslator(qtTranslator);
        qCDebug(lcK) << "成功从应用程序目录加载 qt_zh_CN.qm";
    } else if (qtTranslator->load(QStringLiteral("qt_zh_CN.qm"), qtDir)) {
        app.installTranslator(qtTranslator);
        qCDebug(lcK) << "成功从系统目录加载 qt_zh_CN.qm";
    } else {
        qCDebug(lcK) << "加载 qt_zh_CN.qm 失败";
        qCDebug(lcK) << "应用程序路径:" << appDir;
        qCDebug(lcK) << "系统翻译路径:" << qtDir;
    }

    auto *baseTranslator = new QTranslator(&app);
    const struct {
        const char *file;
        bool appFolder;
        const char *log;
    } attempts[] = {
        {"qtbase_zh_CN.qm", true, "成功从应用程序目录加载 qtbase_zh_CN.qm"},
        {"qtbase_zh_CN.qm", false, "成功从系统目录加载 qtbase_zh_CN.qm"},
        {"qtbase_zh_TW.qm", true, "成功从应用程序目录加载 qtbase_zh_TW.qm"},
        {"qtbase_zh_TW.qm", false, "成功从系统目录加载 qtbase_zh_TW.qm"},
    };
    bool loaded = false;
    for (const auto &attempt : attempts) {
        if (baseTranslator->load(QString::fromLatin1(attempt.file), attempt.appFolder ? appDir : qtDir)) {
            app.installTranslator(baseTranslator);
            qCDebug(lcK) << attempt.log;
            loaded = true;
            break;
        }
    }
    if (!loaded)
        qCDebug(lcK) << "加载 qtbase 中文翻译失败";
    // Calendars show month and day names in Chinese like the rest of the
    // program, whatever language the system has.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const double logical = screen->logicalDotsPerInch();
        const double physical = screen->physicalDotsPerInch();
        qCDebug(lcK) << "物理DPI" << static_cast<float>(physical);
        qCDebug(lcK) << "逻辑DPI（受系统缩放影响）" << static_cast<float>(logical);
        g_uiScale = scaleFactorFor(logical, physical);
    }
}

void K::loadFont()
{
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/base/fonts/xingyiwensong.ttf"));
    if (id == -1)
        return;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty())
        return;
    QApplication::setFont(QFont(families.first(), 12));
}

void K::setStartRoad(int mode, const StartRoad &road)
{
    m_roads.insert(mode, road);
}

QWidget *K::openRoad(int mode)
{
    const StartRoad road = m_roads.value(mode);
    if (!road) {
        qCWarning(lcK) << "未注册启动窗口:" << mode;
        return nullptr;
    }
    return road();
}

void K::start(int mode)
{
    if (mode == 0) {
        openRoad(0);
        return;
    }

    // Handed over by another program: the account comes from the saved
    // login data, not from a login. The prepared service addresses keep the
    // value they were built from; only g_baseUrl follows the argument.
    g_baseUrl = urlHostArgument(QCoreApplication::arguments(), g_baseUrl);
    setAccountValues(loadLoginData(), false);
    if (mode == 1)
        openRoad(1);
}

QString K::urlHostArgument(const QStringList &arguments, const QString &current)
{
    QString value = current;
    if (arguments.size() <= 1)
        return value;
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--url-host") && i + 1 < arguments.size())
            value = arguments.at(i + 1);
    }
    return value;
}

bool K::launchExternalProgram(const QString &program, const QJsonObject &login, QWidget *parent)
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString fullPath = QDir(appDir).absoluteFilePath(program);
    qCDebug(lcK) << "尝试启动外部程序:" << fullPath;
    qCDebug(lcK) << "当前应用程序目录:" << appDir;

    const QFileInfo info(fullPath);
    if (!info.exists()) {
        if (parent)
            ModalBox::showMessage(parent, QMessageBox::Warning, QStringLiteral("错误"),
                            QStringLiteral("找不到程序：\n%1\n\n请确保 %2 存在于程序目录中。").arg(fullPath, program));
        else
            qCWarning(lcK) << "程序不存在:" << fullPath;
        return false;
    }
    if (!info.isExecutable()) {
        if (parent)
            ModalBox::showMessage(parent, QMessageBox::Warning, QStringLiteral("权限错误"),
                            QStringLiteral("程序文件不可执行：\n%1\n\n请检查文件权限。").arg(fullPath));
        else
            qCWarning(lcK) << "程序不可执行:" << fullPath;
        return false;
    }

    qCDebug(lcK) << "程序文件信息:";
    qCDebug(lcK) << "  大小:" << info.size() << "字节";
    qCDebug(lcK) << "  可读:" << (info.isReadable() ? "true" : "false");
    qCDebug(lcK) << "  可执行:" << (info.isExecutable() ? "true" : "false");
    qCDebug(lcK) << "  修改时间:" << info.lastModified();

    QStringList arguments;
    if (!login.isEmpty())
        arguments << QStringLiteral("--login-data")
                  << QString::fromUtf8(QJsonDocument(login).toJson(QJsonDocument::Compact));
    arguments << QStringLiteral("--url-host") << g_baseUrl;
    if (parent)
        arguments << QStringLiteral("--parent-window") << QString::number(parent->winId());

    // No parent: the started program may outlive this one, and a QProcess
    // that is destroyed kills its program.
    auto *process = new QProcess;
    process->setWorkingDirectory(appDir);
    QPointer<QWidget> owner(parent);
    const bool hadParent = parent != nullptr;
    auto errorReported = std::make_shared<bool>(false);

    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                     [process, program](int exitCode, QProcess::ExitStatus status) {
                         qCDebug(lcK) << "外部程序结束，程序:" << program << "退出码:" << exitCode << "状态:" << status;
                         process->deleteLater();
                         emit K::instance()->externalProgramEnded(program);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, program, fullPath, owner, hadParent, errorReported](QProcess::ProcessError error) {
                         QString title;
                         QString detail;
                         switch (error) {
                         case QProcess::FailedToStart:
                             title = QStringLiteral("程序启动失败");
                             detail = QStringLiteral("可能的原因：\n1. 缺少必要的DLL文件（如Qt库、Visual C++运行库）\n"
                                                     "2. 需要管理员权限\n3. 程序文件损坏\n4. 防病毒软件阻止执行");
                             break;
                         case QProcess::Crashed:
                             title = QStringLiteral("程序运行时崩溃");
                             detail = QStringLiteral("程序在运行过程中意外终止");
                             break;
                         case QProcess::Timedout:
                             title = QStringLiteral("程序启动超时");
                             detail = QStringLiteral("程序启动时间超过预期");
                             break;
                         default:
                             title = QStringLiteral("未知错误");
                             detail = QStringLiteral("错误代码: %1").arg(int(error));
                             break;
                         }
                         if (error != QProcess::Timedout)
                             *errorReported = true;
                         const QString full = QStringLiteral("启动 %1 失败：%2\n\n%3\n\n程序路径：%4")
                                                  .arg(program, title, detail, fullPath);
                         if (hadParent && owner)
                             ModalBox::showMessage(owner, QMessageBox::Critical, QStringLiteral("启动错误"),
                                             QStringLiteral("启动 %1 失败：%2").arg(program, title), QString(), full);
                         else
                             qCCritical(lcK).noquote() << full;
                         qCDebug(lcK) << "外部程序启动错误:" << program << error;
                         process->deleteLater();
                         emit K::instance()->externalProgramEnded(program);
                     });

    qCDebug(lcK) << "启动的应用是:" << program;
    qCDebug(lcK) << "使用绝对路径:" << fullPath;
    qCDebug(lcK) << "工作目录:" << appDir;
    // The login data holds the account's ids, not its password; still it
    // is left out of the log.
    QStringList shown = arguments;
    if (!login.isEmpty())
        shown[1] = QStringLiteral("<登录数据>");
    qCDebug(lcK).noquote() << "传递的参数:" << shown.join(QStringLiteral(", "));

    process->start(fullPath, arguments, QIODevice::ReadWrite);
    if (process->waitForStarted(5000)) {
        qCDebug(lcK) << "外部程序启动成功:" << program << "PID:" << process->processId();
        return true;
    }

    const QString text = QStringLiteral("%1 启动超时（5秒），请检查：\n\n1. 程序是否需要管理员权限\n"
                                        "2. 是否缺少必要的运行库（如Visual C++ Redistributable）\n"
                                        "3. 防病毒软件是否阻止了程序运行\n4. 程序文件是否完整\n\n程序路径：%2")
                             .arg(program, fullPath);
    // A program that failed at once has been explained by the error box
    // already; calling that a time-out would send the user the wrong way.
    if (*errorReported)
        qCDebug(lcK).noquote() << text;
    else if (parent)
        ModalBox::showMessage(parent, QMessageBox::Critical, QStringLiteral("启动失败"), text);
    else
        qCCritical(lcK).noquote() << text;
    process->deleteLater();
    return false;
}

float K::scaleFactorFor(double logicalDpi, double physicalDpi)
{
    const float a = static_cast<float>(logicalDpi / 96.0);
    const float p = static_cast<float>(physicalDpi);
    const float l = static_cast<float>(logicalDpi);
    const float r = p / l;
    float s;
    if (!std::isfinite(r))
        s = a; // a screen reporting zero size gives no physical density
    else
        s = a > r ? a : r;
    if (!std::isfinite(s) || s < 1.0f)
        return 1.0f;
    return s;
}

int K::scaleWith(float factor, int px)
{
    if (factor == 1.0f)
        return static_cast<int>(static_cast<float>(px * 1.2));
    return static_cast<int>(static_cast<float>(px) * factor);
}

int K::scale(int px) const
{
    return scaleWith(g_uiScale, px);
}

QString K::scaleText(int px) const
{
    return QString::number(scale(px));
}

void K::saveLoginData(const QJsonObject &object)
{
    QDir dir(g_dataDir);
    if (!dir.exists())
        dir.mkpath(QStringLiteral("."));
    const QString text = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
    writeTextFile(g_dataDir + QStringLiteral("loginData"), text, [](QMap<QString, QString>) {});
}

void K::writeTextFile(const QString &path, const QString &text,
                      const std::function<void(QMap<QString, QString>)> &done)
{
    qCDebug(lcK) << "写入的路径是:" << path;
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream.setVersion(QDataStream::Qt_4_4);
        stream << text;
    }
    // The file holds the account's login reply: written atomically and
    // readable by its owner only.
    QString error;
    if (!FileOps::writeAtomically(path, bytes, true, &error))
        qCWarning(lcK) << "无法写入文件:" << path << error;
    if (done)
        done(QMap<QString, QString>());
}

QJsonObject K::loadLoginData()
{
    const QString text = readTextFile(g_dataDir + QStringLiteral("loginData"));
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

QString K::readTextFile(const QString &path)
{
    QFile file(PathUtil::toFs(path));
    if (file.size() == 0)
        return QString();
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcK) << "无法打开文件读取:" << path << file.errorString();
        return QString();
    }
    QDataStream stream(&file);
    stream.setVersion(QDataStream::Qt_4_4);
    QString text;
    stream >> text;
    return text;
}

QJsonArray K::parseJsonArray(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return QJsonArray();
    return doc.array();
}

QJsonObject K::parseJsonObject(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError) {
        qCWarning(lcK) << "JSON 解析错误:" << error.errorString();
        return QJsonObject();
    }
    if (!doc.isObject()) {
        qCWarning(lcK) << "JSON 不是一个对象";
        return QJsonObject();
    }
    return doc.object();
}

QString K::toLocalPath(const QString &path)
{
    return path;
}

QString K::fixSharePath(const QString &host, const QString &path)
{
    qCDebug(lcK) << "提交之前的path: " << path;
    QString result = path;
    if (path.startsWith(QLatin1String("/Volumes/")) || path.startsWith(QLatin1String("/volumes/"))) {
        const QString prefix = QStringLiteral("\\\\") + host + QStringLiteral("\\");
        result.replace(QLatin1String("/Volumes/"), prefix);
        if (result.startsWith(QLatin1String("/volumes/")))
            result.replace(0, 9, prefix);
        result.replace(QLatin1Char('/'), QLatin1Char('\\'));
    }
    qCDebug(lcK) << "提交之后的path: " << result;
    return result;
}

QString K::shareHost(const QString &path, const QString &fallback)
{
    QString p = path.isEmpty() ? fallback : path;
    p.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QStringList parts = p.split(QLatin1Char('\\'));
    if (parts.size() < 3)
        return QString();
    return parts.at(2);
}

QString K::sanitizeName(const QString &name)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>| ");
    return cleanValue(name, forbidden);
}

QString K::buildImportPath(const QMap<QString, QString> &params)
{
    const QString importPath = params.value(QStringLiteral("importPath"));
    if (!importPath.isEmpty()) {
        // A whole path from the service is the order's own folder: it is
        // taken as it is or not at all.
        if (PathUtil::hasDotComponent(importPath) || SafeName::hasInvisible(importPath)) {
            qCWarning(lcK) << "导入路径含有非法的目录名:" << importPath;
            return QString();
        }
        return importPath;
    }

    const QString root = params.value(QStringLiteral("importPublicPath"));
    if (!PathUtil::isAbsolute(root) || PathUtil::hasDotComponent(root) || SafeName::hasInvisible(root)) {
        qCWarning(lcK) << "公共导入路径不是绝对路径:" << root;
        return QString();
    }
    const QString year = cleanValue(params.value(QStringLiteral("shotdate_year")));
    const QString month = cleanValue(params.value(QStringLiteral("shotdate_month")));
    const QString day = cleanValue(params.value(QStringLiteral("shotdate_day")));
    const QString orderNumber = cleanValue(params.value(QStringLiteral("orderNumber")));
    const QString photoNum = cleanValue(params.value(QStringLiteral("photoNum")));
    // Each date part is one folder and the order number and service count
    // form the last one: none of them may add or climb folders.
    for (const QString &part : {year, month, day}) {
        if (!PathUtil::isPlainName(part)) {
            qCWarning(lcK) << "导入路径含有非法的目录名:" << part;
            return QString();
        }
    }
    for (const QString &part : {orderNumber, photoNum}) {
        if (part.contains(QLatin1Char('/')) || part.contains(QLatin1Char('\\'))) {
            qCWarning(lcK) << "导入路径含有非法的目录名:" << part;
            return QString();
        }
    }

    QString m = sanitizeName(params.value(QStringLiteral("mname")));
    QString w = sanitizeName(params.value(QStringLiteral("wname")));
    if (!m.isEmpty())
        m.prepend(QLatin1Char('_'));
    if (!w.isEmpty())
        w.prepend(QLatin1Char('_'));

    // Concatenated, not chained arg(): a value holding "%2" must stay as it is.
    // The order's own folder name holds nothing Windows refuses in a name
    // and names no device.
    const QString sep = QStringLiteral("\\");
    const QString folder = SafeName::clean(orderNumber + QLatin1Char('-') + photoNum + m + w);
    const QString relative = year + sep + month + sep + day + sep + folder;
    return QDir(PathUtil::toFs(root)).absoluteFilePath(relative);
}

QString K::buildImportPath(const OrderInfo &order)
{
    QMap<QString, QString> params;
    params.insert(QStringLiteral("importPath"), order.importPath);
    params.insert(QStringLiteral("importPublicPath"), order.publicImportPath);
    params.insert(QStringLiteral("shotdate_year"), order.shotdate_year);
    params.insert(QStringLiteral("shotdate_month"), order.shotdate_month);
    params.insert(QStringLiteral("shotdate_day"), order.shotdate_day);
    params.insert(QStringLiteral("orderNumber"), order.orderpayforkey);
    params.insert(QStringLiteral("photoNum"), order.servicetimes);
    params.insert(QStringLiteral("mname"), order.mname);
    params.insert(QStringLiteral("wname"), order.wname);
    return buildImportPath(params);
}

QMap<QString, QString> K::makeThumbnail(const QString &filepath, const QString &outpath, int width, int height)
{
    Q_UNUSED(width)
    Q_UNUSED(height)
    QMap<QString, QString> result;
    result.insert(QStringLiteral("code"), QStringLiteral("2"));
    result.insert(QStringLiteral("filepath"), filepath);
    result.insert(QStringLiteral("outpath"), outpath);
    return result;
}

QString K::todayString()
{
    const QDate d = QDate::currentDate();
    return QString::number(d.year()).rightJustified(4, QLatin1Char('0')) + QLatin1Char('-')
        + QString::number(d.month()).rightJustified(2, QLatin1Char('0')) + QLatin1Char('-')
        + QString::number(d.day()).rightJustified(2, QLatin1Char('0'));
}
