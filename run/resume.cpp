#include "run/resume.h"

#include <limits>

#include "alarm/event_file.h"
#include "app/panel_ids.h"
#include "app/state.h"
#include "files/log_file.h"
#include "rte/formatio.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "run/resume_mark.h"
#include "run/run_control.h"

void resume_at_start()
{
    resume_load();
    // A port that does not open says so on its panel; the mark stays, so
    // that the next start tries again.
    if (resume.on == 0 || resume.running == 0 || state.port_open == 0 || state.running != 0)
        return;
    const double gap = GetUnixTime() - resume.alive;
    faerben(1);
    if (resume.file[0] == '\0') {
        SetCtrlVal(state.main_panel, kMainFile, "no file");
    } else if (next_free_name(resume.file, state.log_path) != 0 || aufzeichnung_oeffnen() <= 0) {
        // Nobody is there to answer a question: the panel says it.
        char message[kPathSize + 60];
        Fmt(message, "NOT RECORDED (no new file beside it can be opened): %s", resume.file);
        SetCtrlVal(state.main_panel, kMainFile, message);
    }
    // Before the first reading, whose alarm would come first otherwise.
    write_event("resumed", gap, std::numeric_limits<double>::quiet_NaN(), 0.0);
    resume_run_started(resume.file);
    begin_run(resume.file, gap);
}
