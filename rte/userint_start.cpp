// Starting the engine as the program has it: the user interface, with the
// port list control showing what the serial service finds.  The one place
// where the two meet, so that neither links the other.
#include "rte/rs232.h"
#include "rte/ui/engine.h"
#include "rte/userint.h"

#include <array>

namespace {

std::vector<rte::ui::ListedPort> serialDevices()
{
    std::array<ComDevice, 64> devices{};
    const int n = ListComDevices(devices.data(), static_cast<int>(devices.size()));
    std::vector<rte::ui::ListedPort> ports;
    for (int i = 0; i < n; ++i)
        ports.push_back({devices[i].port, devices[i].path, devices[i].present != 0});
    return ports;
}

}  // namespace

void StartUserInterface(int &argc, char **argv, std::initializer_list<CallbackBinding> callbacks)
{
    rte::ui::Engine::start(argc, argv, callbacks, serialDevices);
}
