#include "app/callbacks.h"

#include "alarm/alarm_panel.h"
#include "alarm/audit.h"
#include "app/another_panel.h"
#include "app/shell.h"
#include "files/log_file.h"
#include "files/viewer.h"
#include "link/port_change.h"
#include "link/reading_text.h"
#include "publish/publish_panel.h"
#include "publish/publish_settings.h"
#include "rte/userint.h"
#include "run/alarm_events.h"
#include "run/cycle.h"
#include "run/run_control.h"
#include "run/unattended_panel.h"
#include "run/scaling.h"
#include "summary/summary_panel.h"

// Publishing switched on or off goes into the run's audit trail, which
// publishing may not call itself (alarm files and publishing never meet).
static int publish_apply_audited(int panel, int control, int event, void *data, int data1, int data2)
{
    const int was = publishing.enabled;
    const int result = publish_apply(panel, control, event, data, data1, data2);
    audit_switch("publishing", was, publishing.enabled);
    return result;
}

void start_engine(int &argc, char **argv)
{
    StartUserInterface(argc, argv,
                       {
                           {"endSC", endSC},
                           {"velto", velto},
                           {"velto_end", velto_end},
                           {"stripch", stripch},
                           {"comport", comport},
                           {"comok", comok},
                           {"setzewas", setzewas},
                           {"timer2", timer2},
                           {"m_run", m_run},
                           {"m_stop", m_stop},
                           {"skalieren", skalieren},
                           {"oeffnen", oeffnen},
                           {"alarms_menu", alarms_menu},
                           {"alarms_apply", alarms_apply},
                           {"alarms_close", alarms_close},
                           {"acknowledge", acknowledge},
                           {"publishing_menu", publishing_menu},
                           {"publish_apply", publish_apply_audited},
                           {"publish_close", publish_close},
                           {"publish_tick", publish_tick},
                           {"unattended_menu", unattended_menu},
                           {"unattended_switch", unattended_switch},
                           {"unattended_close", unattended_close},
                           {"another_menu", another_menu},
                           {"another_start", another_start},
                           {"another_close", another_close},
                           {"summary_menu", summary_menu},
                           {"export_menu", export_menu},
                           {"report_menu", report_menu},
                           {"summary_other", summary_other},
                           {"summary_export", summary_export},
                           {"summary_report", summary_report},
                           {"summary_close", summary_close},
                       });
}
