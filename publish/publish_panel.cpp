#include "publish/publish_panel.h"

#include <array>
#include <cstring>

#include "app/panel_fields.h"
#include "app/panel_ids.h"
#include "app/profile.h"
#include "publish/publish.h"
#include "publish/publish_settings.h"
#include "rte/formatio.h"
#include "rte/userint.h"

static int panel;
static char shown_condition[kConditionSize];

static void publish_show_condition()
{
    if (panel <= 0)
        return;
    char text[kConditionSize];
    publish_condition(text);
    if (std::strcmp(text, shown_condition) == 0)
        return;
    Fmt(shown_condition, "%s", text);
    SetCtrlVal(panel, kPublishingCondition, text);
}

// The panel's controls and the publishing settings they show.
static std::array<PanelField, 9> fields(PublishSettings &p)
{
    return {{
        panel_field(kPublishingEnabled, p.enabled),
        panel_field(kPublishingHost, p.host, "broker host"),
        panel_field(kPublishingPort, p.port),
        panel_field(kPublishingTls, p.tls),
        panel_field(kPublishingCaFile, p.ca_file, "CA file"),
        panel_field(kPublishingUser, p.user, "user name"),
        panel_field(kPublishingPassword, p.password, "password"),
        panel_field(kPublishingPrefix, p.prefix, "topic prefix"),
        panel_field(kPublishingClientId, p.client_id, "client id"),
    }};
}

void publishing_menu(int, int, void *, int)
{
    if (panel <= 0) {
        panel = LoadPanel(0, kPanelFile, kPublishingPanel);
        show_analyser(panel);
    }
    show_fields(panel, fields(publishing));
    shown_condition[0] = '\0';
    publish_show_condition();
    DisplayPanel(panel);
}

int publish_apply(int, int, int event, void *, int, int)
{
    if (event != kEventCommit)
        return 0;
    // Checked whole before anything changes: what is refused leaves the
    // settings in force, their file and the connection as they were.
    PublishSettings typed = publishing;
    char refused[kConditionSize];
    const auto table = fields(typed);
    const PanelField *cut = read_fields(panel, table);
    if (cut != nullptr && cut->name != nullptr) {
        Fmt(refused, "Not applied: the %s is longer than %d bytes. The settings in force stay.", cut->name,
            cut->room);
        SetCtrlVal(panel, kPublishingCondition, refused);
        return 0;
    }
    if (const char *fault = publish_prefix_fault(typed.prefix)) {
        Fmt(refused, "Not applied: the topic prefix %s. The settings in force stay.", fault);
        SetCtrlVal(panel, kPublishingCondition, refused);
        return 0;
    }
    publishing = typed;
    const int saved = publish_settings_save();
    publish_open();
    shown_condition[0] = '\0';
    publish_show_condition();
    if (saved != 0) {
        char text[kConditionSize], more[kConditionSize + 80];
        publish_condition(text);
        Fmt(more, "%s The settings cannot be saved: they hold until the program ends.", text);
        SetCtrlVal(panel, kPublishingCondition, more);
    }
    return 0;
}

int publish_close(int, int event, void *, int, int)
{
    if (event == kEventClose)
        HidePanel(panel);
    return 0;
}

int publish_tick(int, int, int event, void *, int, int)
{
    if (event == kEventTick)
        publish_show_condition();
    return 0;
}

int publish_panel()
{
    return panel;
}
