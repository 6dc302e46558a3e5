#include "publish/publish_panel.h"

#include <cstring>

#include "app/panel_ids.h"
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

void publishing_menu(int, int, void *, int)
{
    if (panel <= 0)
        panel = LoadPanel(0, kPanelFile, kPublishingPanel);
    SetCtrlVal(panel, kPublishingEnabled, publishing.enabled);
    SetCtrlVal(panel, kPublishingHost, publishing.host);
    SetCtrlVal(panel, kPublishingPort, publishing.port);
    SetCtrlVal(panel, kPublishingTls, publishing.tls);
    SetCtrlVal(panel, kPublishingCaFile, publishing.ca_file);
    SetCtrlVal(panel, kPublishingUser, publishing.user);
    SetCtrlVal(panel, kPublishingPassword, publishing.password);
    SetCtrlVal(panel, kPublishingPrefix, publishing.prefix);
    SetCtrlVal(panel, kPublishingClientId, publishing.client_id);
    shown_condition[0] = '\0';
    publish_show_condition();
    DisplayPanel(panel);
}

int publish_apply(int, int, int event, void *, int, int)
{
    if (event != kEventCommit)
        return 0;
    GetCtrlVal(panel, kPublishingEnabled, publishing.enabled);
    GetCtrlVal(panel, kPublishingHost, publishing.host);
    GetCtrlVal(panel, kPublishingPort, publishing.port);
    GetCtrlVal(panel, kPublishingTls, publishing.tls);
    GetCtrlVal(panel, kPublishingCaFile, publishing.ca_file);
    GetCtrlVal(panel, kPublishingUser, publishing.user);
    GetCtrlVal(panel, kPublishingPassword, publishing.password);
    GetCtrlVal(panel, kPublishingPrefix, publishing.prefix);
    GetCtrlVal(panel, kPublishingClientId, publishing.client_id);
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
