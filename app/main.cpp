#include <QApplication>

#include "app/startroads.h"
#include "base/basereq.h"
#include "base/heaptuning.h"
#include "base/k.h"
#include "base/keepawake.h"

int main(int argc, char *argv[])
{
    HeapTuning::apply();
#ifdef Q_OS_LINUX
    // The program draws nothing with OpenGL. On X11 Qt would otherwise give
    // every window the visual of its OpenGL integration instead of the
    // screen's own, and on a display without a compositing manager the
    // pop-ups shown over the program's windows then went missing from the
    // screen and from screen grabs.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
#endif
    QApplication app(argc, argv);
    BaseReq::preloadTls();
    KeepAwake::holdUntilLastWindowClosed(&app);
    K::instance()->initApplication(app);
    StartRoads::install();
    K::instance()->start(0);
    return app.exec();
}
