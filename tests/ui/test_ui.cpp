#include "test_ui.h"

#include "app/panel_ids.h"
#include "rte/userint.h"

#include <algorithm>
#include <iterator>

namespace ui_test {

std::function<void(const Call &)> onCall;
int mainPanel, comPanel, infoPanel, alarmPanel, publishingPanel, unattendedPanel, menuBar;

std::vector<Call> &calls()
{
    static std::vector<Call> log;
    return log;
}

int count(const std::string &name, int event)
{
    return static_cast<int>(std::count_if(calls().begin(), calls().end(), [&](const Call &c) {
        return c.name == name && c.event == event;
    }));
}

std::vector<Call> withoutTicks()
{
    std::vector<Call> out;
    std::copy_if(calls().begin(), calls().end(), std::back_inserter(out),
                 [](const Call &c) { return c.event != kEventTick; });
    return out;
}

void reset()
{
    calls().clear();
    onCall = nullptr;
}

namespace {

void record(Call call)
{
    calls().push_back(call);
    if (onCall)
        onCall(call);
}

template <const char *Name>
int control(int panel, int control, int event, void *, int, int)
{
    Call c{Name, panel, control, event, 0, {}};
    if (event == kEventCommit) {
        GetCtrlVal(panel, control, c.value);
        char text[512] = "";
        GetCtrlVal(panel, control, text);
        c.text = text;
    }
    record(c);
    return 0;
}

template <const char *Name>
int panelCallback(int panel, int event, void *, int, int)
{
    record({Name, panel, 0, event, 0, {}});
    return 0;
}

template <const char *Name>
void menu(int bar, int item, void *, int)
{
    record({Name, bar, item, 0, 0, {}});
}

constexpr char endSC[] = "endSC", velto[] = "velto", velto_end[] = "velto_end", stripch[] = "stripch",
               comport[] = "comport", comok[] = "comok", setzewas[] = "setzewas", timer2[] = "timer2",
               m_run[] = "m_run", m_stop[] = "m_stop", skalieren[] = "skalieren", oeffnen[] = "oeffnen",
               alarms_menu[] = "alarms_menu", alarms_apply[] = "alarms_apply", alarms_close[] = "alarms_close",
               acknowledge[] = "acknowledge",
               publishing_menu[] = "publishing_menu", publish_apply[] = "publish_apply",
               publish_close[] = "publish_close", publish_tick[] = "publish_tick",
               unattended_menu[] = "unattended_menu", unattended_switch[] = "unattended_switch",
               unattended_close[] = "unattended_close", another_menu[] = "another_menu",
               another_start[] = "another_start", another_close[] = "another_close",
               summary_menu[] = "summary_menu", export_menu[] = "export_menu", report_menu[] = "report_menu",
               summary_other[] = "summary_other", summary_export[] = "summary_export",
               summary_report[] = "summary_report", summary_close[] = "summary_close";

}  // namespace

void start(int &argc, char **argv)
{
    StartUserInterface(argc, argv,
                       {
                           {endSC, panelCallback<endSC>},
                           {velto, control<velto>},
                           {velto_end, panelCallback<velto_end>},
                           {stripch, menu<stripch>},
                           {comport, menu<comport>},
                           {comok, control<comok>},
                           {setzewas, control<setzewas>},
                           {timer2, control<timer2>},
                           {m_run, control<m_run>},
                           {m_stop, control<m_stop>},
                           {skalieren, control<skalieren>},
                           {oeffnen, control<oeffnen>},
                           {alarms_menu, menu<alarms_menu>},
                           {alarms_apply, control<alarms_apply>},
                           {alarms_close, panelCallback<alarms_close>},
                           {acknowledge, control<acknowledge>},
                           {publishing_menu, menu<publishing_menu>},
                           {publish_apply, control<publish_apply>},
                           {publish_close, panelCallback<publish_close>},
                           {publish_tick, control<publish_tick>},
                           {unattended_menu, menu<unattended_menu>},
                           {unattended_switch, control<unattended_switch>},
                           {unattended_close, panelCallback<unattended_close>},
                           {another_menu, menu<another_menu>},
                           {another_start, control<another_start>},
                           {another_close, panelCallback<another_close>},
                           {summary_menu, menu<summary_menu>},
                           {export_menu, menu<export_menu>},
                           {report_menu, menu<report_menu>},
                           {summary_other, control<summary_other>},
                           {summary_export, control<summary_export>},
                           {summary_report, control<summary_report>},
                           {summary_close, panelCallback<summary_close>},
                       });
    mainPanel = LoadPanel(0, kPanelFile, kMainPanel);
    comPanel = LoadPanel(0, kPanelFile, kPortPanel);
    infoPanel = LoadPanel(0, kPanelFile, kInfoPanel);
    alarmPanel = LoadPanel(0, kPanelFile, kAlarmsPanel);
    publishingPanel = LoadPanel(0, kPanelFile, kPublishingPanel);
    unattendedPanel = LoadPanel(0, kPanelFile, kUnattendedPanel);
    menuBar = GetPanelMenuBar(mainPanel);
}

}  // namespace ui_test
