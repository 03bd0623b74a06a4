#include "app/startroads.h"

#include "base/k.h"
#include "base/windowplacement.h"
#include "designsplit/fjhome.h"
#include "login/loginnew.h"

namespace StartRoads {

void install()
{
    K::instance()->setStartRoad(0, []() -> QWidget * {
        auto *login = new LoginNew(nullptr);
        login->show();
        return login;
    });
    K::instance()->setStartRoad(1, []() -> QWidget * {
        // No card prepares it: it keeps the state its constructor leaves.
        auto *window = new FJHome(nullptr);
        WindowPlacement::showMaximized(window);
        return window;
    });
}

} // namespace StartRoads
