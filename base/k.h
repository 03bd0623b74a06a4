#pragma once

#include <functional>

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>

class QApplication;
class QWidget;
struct OrderInfo;

// Application services: start-up, display scaling, the login-data file, JSON
// and path helpers, and the import-path builder.
class K : public QObject
{
    Q_OBJECT

public:
    static K *instance();

    void initApplication(QApplication &app);
    void loadFont();
    // What a start road opens: the window it made and showed.
    using StartRoad = std::function<QWidget *()>;
    // The windows lie above this foundation: the program's top registers
    // the road of each mode (StartRoads::install()).
    void setStartRoad(int mode, const StartRoad &road);

    // Mode 0 opens the login window. Any other mode restores the account
    // from the saved login data instead (taking the service address from
    // "--url-host" on the command line); mode 1 then opens the design-split
    // window.
    void start(int mode);

    // The value after the last "--url-host" that has one, else current.
    static QString urlHostArgument(const QStringList &arguments, const QString &current);

    // Starts a program of the application folder with the service address,
    // the login data (when not empty) and the parent's window id (when
    // given) on its command line; true when it started within 5 s. Problems
    // are shown in boxes over parent, or logged without one.
    static bool launchExternalProgram(const QString &program, const QJsonObject &login, QWidget *parent);

    int scale(int px) const;
    QString scaleText(int px) const;

    // The scale factor of a screen with these logical and physical DPI
    // values, never below 1.0.
    static float scaleFactorFor(double logicalDpi, double physicalDpi);
    // scale() for a given factor.
    static int scaleWith(float factor, int px);

    void saveLoginData(const QJsonObject &object);
    void writeTextFile(const QString &path, const QString &text,
                       const std::function<void(QMap<QString, QString>)> &done);
    QJsonObject loadLoginData();
    QString readTextFile(const QString &path);

    QJsonArray parseJsonArray(const QString &text);
    QJsonObject parseJsonObject(const QString &text);

    QString toLocalPath(const QString &path);
    QString fixSharePath(const QString &host, const QString &path);
    QString shareHost(const QString &path, const QString &fallback);
    QString sanitizeName(const QString &name);
    // The order's import folder; empty when a value from the service would
    // make it escape its root (a "." or ".." part, a separator inside a date
    // or number) or the root is not absolute.
    QString buildImportPath(const QMap<QString, QString> &params);
    QString buildImportPath(const OrderInfo &order);

    QMap<QString, QString> makeThumbnail(const QString &filepath, const QString &outpath, int width, int height);
    static QString todayString();

signals:
    // A program started by launchExternalProgram has ended or failed.
    void externalProgramEnded(const QString &program);

private:
    K() = default;
    // The window the road of mode opens, when one is registered.
    QWidget *openRoad(int mode);

    QMap<int, StartRoad> m_roads;
};
