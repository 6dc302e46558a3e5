#include "app/callbacks.h"

#include "alarm/alarm_check.h"
#include "alarm/alarm_panel.h"
#include "app/shell.h"
#include "files/log_file.h"
#include "files/viewer.h"
#include "link/port_change.h"
#include "link/reading_text.h"
#include "publish/publish_panel.h"
#include "rte/userint.h"
#include "run/cycle.h"
#include "run/run_control.h"
#include "run/unattended_panel.h"
#include "run/scaling.h"

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
                           {"alarme", alarme},
                           {"alarme_ok", alarme_ok},
                           {"alarme_end", alarme_end},
                           {"quittieren", quittieren},
                           {"publishing_menu", publishing_menu},
                           {"publish_apply", publish_apply},
                           {"publish_close", publish_close},
                           {"publish_tick", publish_tick},
                           {"unattended_menu", unattended_menu},
                           {"unattended_switch", unattended_switch},
                           {"unattended_close", unattended_close},
                       });
}
