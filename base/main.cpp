#include <QApplication>

#include "base/k.h"
#include "base/keepawake.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    KeepAwake::holdUntilLastWindowClosed(&app);
    K::instance()->initApplication(app);
    K::instance()->start(0);
    return app.exec();
}
