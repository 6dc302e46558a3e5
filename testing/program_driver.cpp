#include "testing/program_driver.h"

#include <QCoreApplication>

#include "app/callbacks.h"
#include "app/panel_ids.h"
#include "app/shell.h"
#include "app/state.h"
#include "link/serial_port.h"
#include "rte/rs232.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "run/cycle.h"

namespace reliability {
namespace {

double g_now = 0.0;

double heldClock() { return g_now; }

}  // namespace

void loadProgram(int &argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    start_engine(argc, argv);
    laden();
    DisplayPanel(state.main_panel);
}

bool connectAnalyser(const std::string &link, double interval)
{
    if (state.port_open != 0)
        CloseCom(settings.com_port);
    RunState fresh{};
    fresh.main_panel = state.main_panel;
    fresh.com_panel = state.com_panel;
    fresh.info_panel = state.info_panel;
    fresh.menu_bar = state.menu_bar;
    state = fresh;
    settings = Settings{kAnalyserPort, interval, 1, 1, 0, 0.0, 10.0};
    qputenv(("RTE_COM" + std::to_string(kAnalyserPort)).c_str(), QByteArray::fromStdString(link));
    ComOpen();
    return state.port_open == 1;
}

bool startRecordedRun(const std::string &path)
{
    rte::testing::queueFileSelect(kSelectionNew, path);
    rte::testing::operate(state.main_panel, kMainStart);
    return state.running == 1 && state.recording == 1;
}

bool startRecordedRunOnHeldClock(const std::string &path)
{
    g_now = 0.0;
    rte::testing::setClock(heldClock);
    const bool started = startRecordedRun(path);
    SetCtrlAttribute(state.main_panel, kMainTimer, kAttrInterval, 86400.0);
    return started;
}

void tickAt(double t)
{
    g_now = t;
    timer2(state.main_panel, kMainTimer, kEventTick, nullptr, 0, 0);
    QCoreApplication::processEvents();
}

std::string controlText(int control)
{
    char text[kPathSize + 64];
    GetCtrlVal(state.main_panel, control, text);
    return text;
}

double newestDrawnTime()
{
    const auto points =
        rte::testing::plotPoints(state.main_panel, kMainGraph, rte::testing::lastPlot(state.main_panel, kMainGraph));
    return points.empty() ? -1.0 : points.back().first;
}

}  // namespace reliability
