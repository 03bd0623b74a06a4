// Puts every window of the program, state by state, on the X display it is
// started on, for scripts/screenshots.sh to take screenshots of. It logs in
// to the demo service like a user, through the program's own windows.
//
//   vq_screenshots --service https://127.0.0.1:PORT --ca demo-ca.pem
//                  [--only REGEX] [--no-wait]

#include <cstdio>

#include <QApplication>
#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QStringList>

#include "app/startroads.h"
#include "base/globals.h"
#include "base/k.h"
#include "tests/screenshots/scenes.h"
#include "tests/screenshots/shotrunner.h"

namespace {

int usage()
{
    std::fputs("用法: vq_screenshots --service https://127.0.0.1:端口 --ca 证书.pem [--only 场景正则] [--no-wait]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // As the program does on X11 (base/main.cpp): the windows get the
    // screen's own visual, not the OpenGL one.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    // The program's own name: its configuration folder and files.
    QCoreApplication::setApplicationName(QStringLiteral("velquora_tools"));
    // Scenes close every window between them.
    app.setQuitOnLastWindowClosed(false);

    QString service;
    QString caFile;
    QString only;
    bool wait = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--service") && i + 1 < args.size())
            service = args.at(++i);
        else if (arg == QLatin1String("--ca") && i + 1 < args.size())
            caFile = args.at(++i);
        else if (arg == QLatin1String("--only") && i + 1 < args.size())
            only = args.at(++i);
        else if (arg == QLatin1String("--no-wait"))
            wait = false;
        else
            return usage();
    }
    if (service.isEmpty())
        return usage();

    if (!caFile.isEmpty()) {
        QFile file(caFile);
        const QList<QSslCertificate> certificates =
            file.open(QIODevice::ReadOnly) ? QSslCertificate::fromData(file.readAll(), QSsl::Pem) : QList<QSslCertificate>();
        if (certificates.isEmpty()) {
            std::fprintf(stderr, "无法读取证书: %s\n", qPrintable(caFile));
            return 2;
        }
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setCaCertificates(config.caCertificates() + certificates);
        QSslConfiguration::setDefaultConfiguration(config);
    }
    // The service addresses the build prepared, pointed at the demo service.
    g_baseUrl = service;
    g_indexUrl = service + QStringLiteral("/index.php?");
    g_loginUrl = g_indexUrl + g_groupParam + QStringLiteral("&m=public&a=dologin");
    g_barcodeUrl = g_indexUrl + g_groupParam + QStringLiteral("&m=order&a=getbarcodegen");

    K::instance()->initApplication(app);
    StartRoads::install();

    ShotRunner runner(wait);
    runner.setFilter(only);
    addLoginScenes(runner);
    addTransferScenes(runner);
    addSharedWidgetScenes(runner);
    addDesignSplitScenes(runner);
    addImportScenes(runner);
    addBatchDeleteScenes(runner);
    addPickerScenes(runner);
    QObject::connect(&runner, &ShotRunner::finished, &app,
                     [](int, int misses) { QCoreApplication::exit(misses == 0 ? 0 : 1); });
    runner.start();
    return app.exec();
}
