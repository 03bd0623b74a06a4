#pragma once

#include <functional>

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>

class QApplication;
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
    void start(int mode);

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

private:
    K() = default;
};
