#include "base/k.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QDataStream>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QJsonDocument>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QScreen>
#include <QTranslator>

#include "base/fileops.h"
#include "base/globals.h"
#include "base/pathutil.h"
#include "login/loginnew.h"
#include "transferphotos/orderinfo.h"

Q_LOGGING_CATEGORY(lcK, "velquora.base")

namespace {

// Characters a service value may hold but a folder name never shows:
// control characters (line breaks, tabs), invisible format characters such
// as the right-to-left override that make a name read as another, and line
// and paragraph separators.
bool isInvisible(uint codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// The value without invisible characters, the characters of extra, and
// leading dots (a hidden folder on most systems, and "." or ".." alone).
QString cleanValue(const QString &value, const QString &extra = QString())
{
    QVector<uint> kept;
    const QVector<uint> codePoints = value.toUcs4();
    kept.reserve(codePoints.size());
    for (uint c : codePoints) {
        if (isInvisible(c) || (c < 0x10000 && extra.contains(QChar(c))))
            continue;
        kept.append(c);
    }
    int start = 0;
    while (start < kept.size() && kept.at(start) == '.')
        ++start;
    return QString::fromUcs4(kept.constData() + start, kept.size() - start);
}

bool hasInvisible(const QString &value)
{
    const QVector<uint> codePoints = value.toUcs4();
    return std::any_of(codePoints.cbegin(), codePoints.cend(), isInvisible);
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

void K::start(int mode)
{
    if (mode == 0) {
        auto *login = new LoginNew(nullptr);
        login->show();
        return;
    }
    qCWarning(lcK) << "未知的启动模式" << mode;
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
        if (PathUtil::hasDotComponent(importPath) || hasInvisible(importPath)) {
            qCWarning(lcK) << "导入路径含有非法的目录名:" << importPath;
            return QString();
        }
        return importPath;
    }

    const QString root = params.value(QStringLiteral("importPublicPath"));
    if (!PathUtil::isAbsolute(root) || PathUtil::hasDotComponent(root) || hasInvisible(root)) {
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
    const QString sep = QStringLiteral("\\");
    const QString relative = year + sep + month + sep + day + sep + orderNumber + QLatin1Char('-') + photoNum + m + w;
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
