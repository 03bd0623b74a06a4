#include "base/keepawake.h"

#include <QGuiApplication>
#include <QLoggingCategory>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#endif

Q_LOGGING_CATEGORY(lcKeepAwake, "velquora.keepawake")

namespace KeepAwake {

namespace {

quint32 s_state = Continuous;

#ifndef Q_OS_WIN
quint32 s_cookie = 0;

const char kService[] = "org.freedesktop.ScreenSaver";
const char kPath[] = "/org/freedesktop/ScreenSaver";

void inhibitScreenSaver(bool on)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return;
    if (!bus.interface()->isServiceRegistered(QString::fromLatin1(kService)))
        return;
    if (on && s_cookie == 0) {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                           QString::fromLatin1(kService), QStringLiteral("Inhibit"));
        call << QCoreApplication::applicationName() << QStringLiteral("导片进行中，保持屏幕常亮");
        const QDBusReply<quint32> reply = bus.call(call, QDBus::Block, 2000);
        if (reply.isValid())
            s_cookie = reply.value();
        else
            qCDebug(lcKeepAwake) << "屏保抑制失败:" << reply.error().message();
    } else if (!on && s_cookie != 0) {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                           QString::fromLatin1(kService), QStringLiteral("UnInhibit"));
        call << s_cookie;
        bus.call(call, QDBus::Block, 2000);
        s_cookie = 0;
    }
}
#endif

} // namespace

quint32 setThreadExecutionState(quint32 flags)
{
#ifdef Q_OS_WIN
    s_state = flags;
    return SetThreadExecutionState(static_cast<EXECUTION_STATE>(flags));
#else
    const quint32 previous = s_state;
    s_state = flags;
    inhibitScreenSaver((flags & Continuous) && (flags & DisplayRequired));
    return previous;
#endif
}

quint32 currentState()
{
    return s_state;
}

void holdUntilLastWindowClosed(QGuiApplication *app)
{
    setThreadExecutionState(Continuous | DisplayRequired | SystemRequired);
    QObject::connect(app, &QGuiApplication::lastWindowClosed, app,
                     []() { setThreadExecutionState(Continuous); });
}

} // namespace KeepAwake
