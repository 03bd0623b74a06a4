#pragma once

#include <QtGlobal>

class QGuiApplication;

// Keeps the machine and the display awake while the program runs. Under
// Windows this is SetThreadExecutionState; elsewhere the requested state is
// recorded and, where the session bus offers org.freedesktop.ScreenSaver,
// the screen saver is inhibited while the display is required.
namespace KeepAwake {

enum Flag : quint32 {
    SystemRequired = 0x00000001,
    DisplayRequired = 0x00000002,
    Continuous = 0x80000000,
};

// Same contract as the Windows call: returns the previous state.
quint32 setThreadExecutionState(quint32 flags);

// The state last requested (Continuous alone when nothing is requested).
quint32 currentState();

// Requests the system and the display to stay awake now and withdraws the
// request when the application's last window closes.
void holdUntilLastWindowClosed(QGuiApplication *app);

} // namespace KeepAwake
