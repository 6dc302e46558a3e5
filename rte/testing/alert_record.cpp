// The desktop alerts as the program raised them.
#include "rte/testing/testing.h"
#include "rte/ui/alerts.h"

namespace rte::testing {

const std::vector<std::string> &notifications() { return ui::alertRecord().notifications; }

int alertSounds() { return ui::alertRecord().sounds; }

bool alertSounding() { return ui::alertRecord().sounding; }

void clearAlerts()
{
    ui::alertRecord().notifications.clear();
    ui::alertRecord().sounds = 0;
}

}  // namespace rte::testing
