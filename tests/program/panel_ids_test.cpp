// The generated names against the panel file the program loads, read by
// the engine's own reader: each name must reach a control of the kind the
// program treats it as.
#include <gtest/gtest.h>

#include <QFile>

#include <string>
#include <vector>

#include "app/panel_ids.h"
#include "rte/ui/panel_file.h"

namespace {

using rte::ui::Kind;
using rte::ui::ValueType;

std::vector<rte::ui::PanelSpec> loadedPanels()
{
    QFile file(QStringLiteral(VANDREL_PROGRAM_DIR "/") + QLatin1String(kPanelFile));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << file.fileName().toStdString();
        return {};
    }
    QString fault;
    auto panels = rte::ui::parsePanelFile(
        file.readAll(), [](const QString &, rte::ui::CallbackShape) { return true; }, fault);
    EXPECT_TRUE(panels) << fault.toStdString();
    return panels.value_or(std::vector<rte::ui::PanelSpec>{});
}

const rte::ui::PanelSpec *findPanel(const std::vector<rte::ui::PanelSpec> &panels, int resource)
{
    for (const auto &p : panels)
        if (p.resource == resource)
            return &p;
    return nullptr;
}

const rte::ui::ControlSpec *findControl(const std::vector<rte::ui::PanelSpec> &panels, int resource,
                                        int number)
{
    if (const rte::ui::PanelSpec *p = findPanel(panels, resource))
        for (const auto &c : p->controls)
            if (c.number == number)
                return &c;
    return nullptr;
}

TEST(PanelIds, EveryGeneratedNameReachesAControlOfItsKind)
{
    const auto panels = loadedPanels();
    for (const PanelFileControl &named : kPanelFileControls) {
        const rte::ui::ControlSpec *c = findControl(panels, named.panel, named.control);
        ASSERT_NE(c, nullptr) << named.name;
        EXPECT_STREQ(rte::ui::kindName(c->kind), named.kind) << named.name;
    }
}

TEST(PanelIds, EachControlTheProgramUsesIsWhatTheProgramTakesItFor)
{
    // Entries are read into doubles or ints, displays and texts are given
    // text, switches, selectors and the indicator ints.
    const struct {
        const char *name;
        int panel, control;
        Kind kind;
        ValueType type;
    } uses[] = {
        {"reading", kMainPanel, kMainReading, Kind::Display, ValueType::Text},
        {"quantity", kMainPanel, kMainQuantity, Kind::Selector, ValueType::Int},
        {"start", kMainPanel, kMainStart, Kind::Button, ValueType::None},
        {"stop", kMainPanel, kMainStop, Kind::Button, ValueType::None},
        {"busy", kMainPanel, kMainBusy, Kind::Indicator, ValueType::Int},
        {"interval", kMainPanel, kMainInterval, Kind::Entry, ValueType::Double},
        {"y min", kMainPanel, kMainYMin, Kind::Entry, ValueType::Double},
        {"y max", kMainPanel, kMainYMax, Kind::Entry, ValueType::Double},
        {"autoscale", kMainPanel, kMainAutoscale, Kind::Switch, ValueType::Int},
        {"log scale", kMainPanel, kMainLogScale, Kind::Switch, ValueType::Int},
        {"open file", kMainPanel, kMainOpenFile, Kind::Button, ValueType::None},
        {"graph", kMainPanel, kMainGraph, Kind::Graph, ValueType::None},
        {"file", kMainPanel, kMainFile, Kind::Display, ValueType::Text},
        {"timer", kMainPanel, kMainTimer, Kind::Timer, ValueType::None},
        {"port number", kPortPanel, kPortNumber, Kind::Entry, ValueType::Int},
        {"settings file", kInfoPanel, kInfoSettingsFile, Kind::Text, ValueType::Text},
        {"alarm reason", kMainPanel, kMainAlarmReason, Kind::Display, ValueType::Text},
        {"acknowledge", kMainPanel, kMainAcknowledge, Kind::Button, ValueType::None},
        {"oxygen low on", kAlarmsPanel, kAlarmsOxygenLowOn, Kind::Switch, ValueType::Int},
        {"oxygen low", kAlarmsPanel, kAlarmsOxygenLow, Kind::Entry, ValueType::Double},
        {"oxygen high on", kAlarmsPanel, kAlarmsOxygenHighOn, Kind::Switch, ValueType::Int},
        {"oxygen high", kAlarmsPanel, kAlarmsOxygenHigh, Kind::Entry, ValueType::Double},
        {"oxygen delay", kAlarmsPanel, kAlarmsOxygenDelay, Kind::Entry, ValueType::Int},
        {"voltage low on", kAlarmsPanel, kAlarmsVoltageLowOn, Kind::Switch, ValueType::Int},
        {"voltage low", kAlarmsPanel, kAlarmsVoltageLow, Kind::Entry, ValueType::Double},
        {"voltage high on", kAlarmsPanel, kAlarmsVoltageHighOn, Kind::Switch, ValueType::Int},
        {"voltage high", kAlarmsPanel, kAlarmsVoltageHigh, Kind::Entry, ValueType::Double},
        {"voltage delay", kAlarmsPanel, kAlarmsVoltageDelay, Kind::Entry, ValueType::Int},
        {"temperature low on", kAlarmsPanel, kAlarmsTemperatureLowOn, Kind::Switch, ValueType::Int},
        {"temperature low", kAlarmsPanel, kAlarmsTemperatureLow, Kind::Entry, ValueType::Double},
        {"temperature high on", kAlarmsPanel, kAlarmsTemperatureHighOn, Kind::Switch, ValueType::Int},
        {"temperature high", kAlarmsPanel, kAlarmsTemperatureHigh, Kind::Entry, ValueType::Double},
        {"temperature delay", kAlarmsPanel, kAlarmsTemperatureDelay, Kind::Entry, ValueType::Int},
        {"no-answer on", kAlarmsPanel, kAlarmsSilenceOn, Kind::Switch, ValueType::Int},
        {"no-answer cycles", kAlarmsPanel, kAlarmsSilenceCycles, Kind::Entry, ValueType::Int},
        {"alarm status", kAlarmsPanel, kAlarmsStatus, Kind::Text, ValueType::Text},
        {"alarm settings file", kAlarmsPanel, kAlarmsSettingsFile, Kind::Text, ValueType::Text},
        {"publishing on", kPublishingPanel, kPublishingEnabled, Kind::Switch, ValueType::Int},
        {"broker host", kPublishingPanel, kPublishingHost, Kind::Display, ValueType::Text},
        {"broker port", kPublishingPanel, kPublishingPort, Kind::Entry, ValueType::Int},
        {"tls", kPublishingPanel, kPublishingTls, Kind::Switch, ValueType::Int},
        {"ca file", kPublishingPanel, kPublishingCaFile, Kind::Display, ValueType::Text},
        {"user name", kPublishingPanel, kPublishingUser, Kind::Display, ValueType::Text},
        {"password", kPublishingPanel, kPublishingPassword, Kind::Display, ValueType::Text},
        {"topic prefix", kPublishingPanel, kPublishingPrefix, Kind::Display, ValueType::Text},
        {"client id", kPublishingPanel, kPublishingClientId, Kind::Display, ValueType::Text},
        {"condition", kPublishingPanel, kPublishingCondition, Kind::Text, ValueType::Text},
        {"resume", kUnattendedPanel, kUnattendedResume, Kind::Switch, ValueType::Int},
        {"session start", kUnattendedPanel, kUnattendedSessionStart, Kind::Switch, ValueType::Int},
        {"unattended status", kUnattendedPanel, kUnattendedStatus, Kind::Text, ValueType::Text},
        {"unattended file", kUnattendedPanel, kUnattendedSettingsFile, Kind::Text, ValueType::Text},
        {"session entry", kUnattendedPanel, kUnattendedEntry, Kind::Text, ValueType::Text},
        {"analysers", kAnotherPanel, kAnotherAnalysers, Kind::Text, ValueType::Text},
        {"analyser name", kAnotherPanel, kAnotherName, Kind::Display, ValueType::Text},
        {"start another", kAnotherPanel, kAnotherStart, Kind::Button, ValueType::None},
        {"another status", kAnotherPanel, kAnotherStatus, Kind::Text, ValueType::Text},
        {"summary recording", kSummaryPanel, kSummaryRecording, Kind::Display, ValueType::Text},
        {"summary read", kSummaryPanel, kSummaryRead, Kind::Display, ValueType::Text},
        {"summary graph", kSummaryPanel, kSummaryGraph, Kind::Graph, ValueType::None},
        {"other recording", kSummaryPanel, kSummaryOther, Kind::Button, ValueType::None},
        {"summary status", kSummaryPanel, kSummaryStatus, Kind::Text, ValueType::Text},
    };
    const auto panels = loadedPanels();
    for (const auto &use : uses) {
        const rte::ui::ControlSpec *c = findControl(panels, use.panel, use.control);
        ASSERT_NE(c, nullptr) << use.name;
        EXPECT_STREQ(rte::ui::kindName(c->kind), rte::ui::kindName(use.kind)) << use.name;
        EXPECT_EQ(c->type, use.type) << use.name;
    }
    // The run dims "Restore settings" in the main panel's menu bar; the
    // alarms panel is opened from it.
    const rte::ui::PanelSpec *main = findPanel(panels, kMainPanel);
    ASSERT_NE(main, nullptr);
    std::vector<int> items;
    for (const auto &menu : main->menus)
        for (const auto &item : menu.items)
            items.push_back(item.id);
    EXPECT_EQ(items, (std::vector<int>{kMainSerialPortItem, kMainRestoreItem, kMainAlarmsItem, kMainPublishingItem,
                                       kMainUnattendedItem, kMainAnotherItem, kMainSummaryItem, kMainExportItem,
                                       kMainReportItem}));
}

}  // namespace
