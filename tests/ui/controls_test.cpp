// Values, commits and attributes of the controls, operated through the real
// widgets.
#include "app/panel_ids.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "test_ui.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace ui_test;
namespace t = rte::testing;

namespace {

class Controls : public ::testing::Test {
protected:
    void SetUp() override
    {
        DisplayPanel(mainPanel);
        reset();
    }
    void TearDown() override
    {
        reset();
        SetCtrlVal(mainPanel, kMainInterval, 1.0);
        SetCtrlVal(mainPanel, kMainYMin, 0.0);
        SetCtrlVal(mainPanel, kMainYMax, 100.0);
        SetCtrlVal(mainPanel, kMainAutoscale, 0);
        SetCtrlVal(mainPanel, kMainQuantity, 1);
        SetCtrlVal(mainPanel, kMainReading, "");
        SetCtrlVal(mainPanel, kMainFile, "no file");
        SetCtrlAttribute(mainPanel, kMainOpenFile, kAttrDimmed, 0);
        SetMenuBarAttribute(menuBar, kMainRestoreItem, kAttrDimmed, 0);
        HidePanel(comPanel);
        HidePanel(infoPanel);
    }
};

TEST_F(Controls, NumbersRoundTrip)
{
    struct Case {
        int *panel;
        int control;
        double value;
    } cases[] = {
        {&mainPanel, kMainInterval, 2.5},  {&mainPanel, kMainInterval, 0.05}, {&mainPanel, kMainYMin, -1.25e-3},
        {&mainPanel, kMainYMax, 123456.789}, {&mainPanel, kMainAutoscale, 1}, {&mainPanel, kMainLogScale, 1},
        {&mainPanel, kMainLogScale, 0},    {&mainPanel, kMainBusy, 1},        {&mainPanel, kMainQuantity, 3},
        {&comPanel, kPortNumber, 17},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.control);
        ASSERT_EQ(SetCtrlVal(*c.panel, c.control, c.value), 0);
        double d = -99;
        ASSERT_EQ(GetCtrlVal(*c.panel, c.control, d), 0);
        EXPECT_EQ(d, c.value);
        int i = -99;
        ASSERT_EQ(GetCtrlVal(*c.panel, c.control, i), 0);
        EXPECT_EQ(i, static_cast<int>(c.value));
    }
    SetCtrlVal(mainPanel, kMainBusy, 0);
    SetCtrlVal(mainPanel, kMainLogScale, 0);
}

TEST_F(Controls, EntriesKeepTheirRange)
{
    SetCtrlVal(mainPanel, kMainInterval, 0.0);
    double interval = 0;
    GetCtrlVal(mainPanel, kMainInterval, interval);
    EXPECT_GT(interval, 0);
    SetCtrlVal(comPanel, kPortNumber, 999);
    int port = 0;
    GetCtrlVal(comPanel, kPortNumber, port);
    EXPECT_EQ(port, 256);
}

TEST_F(Controls, TextIsWindows1252AtTheInterface)
{
    ASSERT_EQ(SetCtrlVal(mainPanel, kMainReading, "21.5 \xB0" "C"), 0);
    EXPECT_EQ(qobject_cast<QLineEdit *>(t::widget(mainPanel, kMainReading))->text(), QString::fromUtf8("21.5 \u00b0C"));
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    SetCtrlVal(mainPanel, kMainReading, all.c_str());
    char back[300];
    ASSERT_EQ(GetCtrlVal(mainPanel, kMainReading, back), 0);
    EXPECT_EQ(std::string(back), all);
    EXPECT_EQ(qobject_cast<QLineEdit *>(t::widget(mainPanel, kMainReading))->text().at(0x80 - 1), QChar(0x20AC));
}

// The file display is declared UTF-8 in the panel file: every character
// kept.
TEST_F(Controls, PathDisplayKeepsEveryCharacter)
{
    const std::string path = "/tmp/Messdaten Müller/Prüfung Ω Проба 測定 🧪.dat";
    ASSERT_EQ(SetCtrlVal(mainPanel, kMainFile, path.c_str()), 0);
    EXPECT_EQ(qobject_cast<QLineEdit *>(t::widget(mainPanel, kMainFile))->text(), QString::fromStdString(path));
    char back[300];
    ASSERT_EQ(GetCtrlVal(mainPanel, kMainFile, back), 0);
    EXPECT_EQ(std::string(back), path);
}

TEST_F(Controls, TextIsCutToTheTarget)
{
    SetCtrlVal(mainPanel, kMainFile, "no file at all");
    char small[5] = "xxxx";
    ASSERT_EQ(GetCtrlVal(mainPanel, kMainFile, small), 0);
    EXPECT_STREQ(small, "no f");
    // A UTF-8 text is cut before a character that does not fit whole.
    SetCtrlVal(mainPanel, kMainFile, "Pr\xC3\xBC" "fung");
    char three[4] = "xxx";
    ASSERT_EQ(GetCtrlVal(mainPanel, kMainFile, three), 0);
    EXPECT_STREQ(three, "Pr");
}

TEST_F(Controls, WrongHandlesAndKindsAreRefused)
{
    EXPECT_EQ(SetCtrlVal(999, kMainInterval, 1), kUiBadHandle);
    EXPECT_EQ(SetCtrlVal(mainPanel, 99, 1), kUiBadHandle);
    EXPECT_EQ(SetCtrlVal(mainPanel, kMainInterval, "1.5"), kUiBadArgument);
    EXPECT_EQ(SetCtrlVal(mainPanel, kMainQuantity, 7), kUiBadArgument);
    EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainInterval, kAttrYMapping, kMappingLog), kUiBadArgument);
    EXPECT_EQ(SetMenuBarAttribute(menuBar, 99, kAttrDimmed, 1), kUiBadHandle);
    EXPECT_EQ(DisplayPanel(999), kUiBadHandle);
}

// Values that become ints: none beyond int reaches a conversion.
TEST_F(Controls, ValuesBeyondIntAreRefusedAndChangeNothing)
{
    SetCtrlVal(comPanel, kPortNumber, 17);
    SetCtrlAttribute(mainPanel, kMainStart, kAttrColour, kColourGreen);
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {inf, -inf, 1e300, -1e300, 4294967297.0}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(SetCtrlVal(comPanel, kPortNumber, v), kUiBadArgument);
        EXPECT_EQ(SetCtrlVal(mainPanel, kMainQuantity, v), kUiBadArgument);
        EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainStart, kAttrColour, v), kUiBadArgument);
    }
    int port = 0, quantity = 0;
    GetCtrlVal(comPanel, kPortNumber, port);
    GetCtrlVal(mainPanel, kMainQuantity, quantity);
    EXPECT_EQ(port, 17);
    EXPECT_EQ(quantity, 1);
    EXPECT_EQ(qobject_cast<QPushButton *>(t::widget(mainPanel, kMainStart))->palette().color(QPalette::Button),
              QColor(0x00, 0x80, 0x00));
}

TEST_F(Controls, EnterCommitsTheTypedValue)
{
    t::typeInto(mainPanel, kMainInterval, "2.5");
    ASSERT_TRUE(t::waitUntil([] { return count("skalieren", kEventCommit) == 1; }, 5));
    EXPECT_EQ(withoutTicks().back().control, 3);
    EXPECT_EQ(withoutTicks().back().value, 2.5);
    // Enter again without a change applies the value again.
    t::typeInto(mainPanel, kMainInterval, "2.5");
    EXPECT_TRUE(t::waitUntil([] { return count("skalieren", kEventCommit) == 2; }, 5));
}

TEST_F(Controls, LeavingAChangedEntryCommitsButTypingDoesNot)
{
    t::typeInto(mainPanel, kMainYMin, "7", false);
    QCoreApplication::processEvents();
    EXPECT_EQ(count("skalieren", kEventCommit), 0);
    t::focusControl(mainPanel, kMainYMax);
    ASSERT_TRUE(t::waitUntil([] { return count("skalieren", kEventCommit) == 1; }, 5));
    EXPECT_EQ(withoutTicks().back().control, 2);
    EXPECT_EQ(withoutTicks().back().value, 7);
    // Passing through without a change commits nothing.
    t::focusControl(mainPanel, kMainYMin);
    t::focusControl(mainPanel, kMainYMax);
    QCoreApplication::processEvents();
    EXPECT_EQ(count("skalieren", kEventCommit), 1);
}

// Text put into an entry as assistive technology puts it, never confirmed:
// reading the entry takes it as Enter would, and the entry shows what was
// read.
TEST_F(Controls, ReadingAnEntryGivesWhatItShows)
{
    SetCtrlVal(comPanel, kPortNumber, 3);
    struct Case {
        int *panel;
        int control;
        const char *text;
        double value;       // read back
        const char *shown;  // afterwards
        int commits;        // of the entry's own callback
    } cases[] = {
        {&mainPanel, 4, "250", 250, "250", 1},
        {&mainPanel, 3, "0", 1, "1", 0},  // below the range
        {&mainPanel, 2, "abc", 0, "0", 0},
        {&comPanel, 2, "7", 7, "7", 0},  // an entry without a callback
        {&comPanel, 2, "300", 7, "7", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        reset();
        auto *line = t::widget(*c.panel, c.control)->findChild<QLineEdit *>();
        ASSERT_NE(line, nullptr);
        line->setText(QString::fromUtf8(c.text));
        double value = -99;
        ASSERT_EQ(GetCtrlVal(*c.panel, c.control, value), 0);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(line->text(), QString::fromUtf8(c.shown));
        QCoreApplication::processEvents();
        EXPECT_EQ(count("skalieren", kEventCommit), c.commits);
    }
}

// A button operated without taking the focus from the entry (by assistive
// technology or a shortcut) acts on the typed value: the entry commits
// first, as it does when a click takes the focus.
TEST_F(Controls, ButtonsActOnTheTypedValues)
{
    SetCtrlVal(comPanel, kPortNumber, 3);
    DisplayPanel(comPanel);
    int port = 0;
    onCall = [&port](const Call &c) {
        if (c.name == "comok")
            GetCtrlVal(comPanel, kPortNumber, port);
    };
    t::typeInto(comPanel, kPortNumber, "7", false);
    t::operate(comPanel, kPortOk);
    ASSERT_TRUE(t::waitUntil([] { return count("comok", kEventCommit) == 1; }, 5));
    EXPECT_EQ(port, 7);

    reset();
    t::typeInto(mainPanel, kMainInterval, "2.5", false);
    t::operate(mainPanel, kMainStart);
    ASSERT_TRUE(t::waitUntil([] { return count("m_run", kEventCommit) == 1; }, 5));
    const std::vector<Call> got = withoutTicks();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].name, "skalieren");
    EXPECT_EQ(got[0].control, 3);
    EXPECT_EQ(got[0].value, 2.5);
    EXPECT_EQ(got[1].name, "m_run");
}

TEST_F(Controls, ValuesSetByTheProgramDoNotCommit)
{
    SetCtrlVal(mainPanel, kMainInterval, 4.0);
    SetCtrlVal(mainPanel, kMainAutoscale, 1);
    SetCtrlVal(mainPanel, kMainQuantity, 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(withoutTicks().empty());
}

TEST_F(Controls, ButtonsSwitchesAndSelectorsCommitWhenOperated)
{
    t::operate(mainPanel, kMainStart);
    t::operate(mainPanel, kMainAutoscale);
    t::selectItem(mainPanel, kMainQuantity, 1);
    t::operate(mainPanel, kMainAbout);
    t::operate(comPanel, kPortOk);
    ASSERT_TRUE(t::waitUntil([] { return withoutTicks().size() == 5; }, 5));
    const std::vector<Call> got = withoutTicks();
    EXPECT_EQ(got[0].name, "m_run");
    EXPECT_EQ(got[1].name, "skalieren");
    EXPECT_EQ(got[1].value, 1);  // the switch as it now stands
    EXPECT_EQ(got[2].name, "setzewas");
    EXPECT_EQ(got[2].value, 2);
    EXPECT_EQ(got[3].name, "velto");
    EXPECT_EQ(got[4].name, "comok");
    for (const Call &c : got)
        EXPECT_EQ(c.event, kEventCommit);
}

TEST_F(Controls, DimmedControlsCannotBeOperated)
{
    ASSERT_EQ(SetCtrlAttribute(mainPanel, kMainOpenFile, kAttrDimmed, 1), 0);
    EXPECT_FALSE(t::widget(mainPanel, kMainOpenFile)->isEnabled());
    t::operate(mainPanel, kMainOpenFile);
    QCoreApplication::processEvents();
    EXPECT_EQ(count("oeffnen", kEventCommit), 0);
    SetCtrlAttribute(mainPanel, kMainOpenFile, kAttrDimmed, 0);
    t::operate(mainPanel, kMainOpenFile);
    EXPECT_TRUE(t::waitUntil([] { return count("oeffnen", kEventCommit) == 1; }, 5));
}

TEST_F(Controls, ButtonColourIsItsFace)
{
    for (int rgb : {kColourGreen, kColourGrey, kColourDarkRed}) {
        ASSERT_EQ(SetCtrlAttribute(mainPanel, kMainStart, kAttrColour, rgb), 0);
        const QPalette pal = t::widget(mainPanel, kMainStart)->palette();
        EXPECT_EQ(pal.color(QPalette::Button).rgb() & 0xFFFFFF, static_cast<QRgb>(rgb));
        // The caption stays readable on the face.
        EXPECT_GT(std::abs(pal.color(QPalette::ButtonText).lightness() - pal.color(QPalette::Button).lightness()), 90);
    }
}

// What an alarm changes on the main panel, and back.
TEST_F(Controls, TextColourVisibilityAndTitle)
{
    const auto writing = [] {
        return t::widget(mainPanel, kMainReading)->palette().color(QPalette::Text).rgb() & 0xFFFFFF;
    };
    const QRgb usual = writing();
    ASSERT_EQ(SetCtrlAttribute(mainPanel, kMainReading, kAttrTextColour, kColourRed), 0);
    EXPECT_EQ(writing(), static_cast<QRgb>(kColourRed));
    ASSERT_EQ(SetCtrlAttribute(mainPanel, kMainReading, kAttrTextColour, kColourDesktop), 0);
    EXPECT_EQ(writing(), usual);
    EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainStart, kAttrTextColour, kColourRed), kUiBadArgument);

    // Hidden controls start hidden and take no room until shown.
    QWidget *button = t::widget(mainPanel, kMainAcknowledge);
    EXPECT_FALSE(button->isVisibleTo(button->window()));
    ASSERT_EQ(SetCtrlAttribute(mainPanel, kMainAcknowledge, kAttrVisible, 1), 0);
    EXPECT_TRUE(button->isVisibleTo(button->window()));
    ASSERT_EQ(SetCtrlAttribute(mainPanel, kMainAcknowledge, kAttrVisible, 0), 0);
    EXPECT_FALSE(button->isVisibleTo(button->window()));
    EXPECT_EQ(SetCtrlAttribute(mainPanel, kMainTimer, kAttrVisible, 1), kUiBadArgument);

    char title[64], small[6];
    ASSERT_EQ(GetPanelAttribute(mainPanel, kAttrTitle, title), 0);
    EXPECT_STREQ(title, "Vandrel V3 - Oxygen analyser");
    ASSERT_EQ(SetPanelAttribute(mainPanel, kAttrTitle, "ALARM 700 \xB0" "C"), 0);
    EXPECT_EQ(button->window()->windowTitle(), QString::fromUtf8("ALARM 700 \u00b0C"));
    ASSERT_EQ(GetPanelAttribute(mainPanel, kAttrTitle, small), 0);
    EXPECT_STREQ(small, "ALARM");
    SetPanelAttribute(mainPanel, kAttrTitle, title);
    EXPECT_EQ(SetPanelAttribute(mainPanel, kAttrDimmed, "x"), kUiBadArgument);
    EXPECT_EQ(SetPanelAttribute(-5, kAttrTitle, "x"), kUiBadHandle);
}

// Offscreen there is no tray: the notification fails quietly, and both
// alerts are on record for the program's tests.
TEST_F(Controls, AlertsNeverBlockAndFailQuietlyWithoutATray)
{
    t::clearAlerts();
    EXPECT_EQ(NotifyDesktop("ALARM", "HIGH > 10 ppm O2"), kUiBadArgument);
    ASSERT_EQ(t::notifications().size(), 1u);
    EXPECT_EQ(t::notifications().front(), "ALARM|HIGH > 10 ppm O2");
    EXPECT_EQ(StartAlertSound(0), kUiBadArgument);
    EXPECT_EQ(StartAlertSound(NAN), kUiBadArgument);
    EXPECT_FALSE(t::alertSounding());
    ASSERT_EQ(StartAlertSound(0.05), 0);
    EXPECT_EQ(t::alertSounds(), 1);
    EXPECT_TRUE(t::waitUntil([] { return t::alertSounds() >= 3; }, 10));
    StopAlertSound();
    EXPECT_FALSE(t::alertSounding());
    EXPECT_TRUE(t::popupLog().empty());
}

TEST_F(Controls, MenuItemsCallTheirCallbackUnlessDimmed)
{
    t::activateMenuItem(menuBar, kMainSerialPortItem);
    ASSERT_TRUE(t::waitUntil([] { return count("comport", 0) == 1; }, 5));
    EXPECT_EQ(withoutTicks().back().handle, menuBar);
    EXPECT_EQ(withoutTicks().back().control, 1);
    ASSERT_EQ(SetMenuBarAttribute(menuBar, kMainRestoreItem, kAttrDimmed, 1), 0);
    t::activateMenuItem(menuBar, kMainRestoreItem);
    t::activateMenuItem(menuBar, kMainSerialPortItem);
    ASSERT_TRUE(t::waitUntil([] { return count("comport", 0) == 2; }, 5));
    EXPECT_EQ(count("stripch", 0), 0);
    SetMenuBarAttribute(menuBar, kMainRestoreItem, kAttrDimmed, 0);
    t::activateMenuItem(menuBar, kMainRestoreItem);
    EXPECT_TRUE(t::waitUntil([] { return count("stripch", 0) == 1; }, 5));
}

TEST_F(Controls, CloseRequestsGoToThePanelCallbackOrHide)
{
    t::closePanel(mainPanel);
    ASSERT_TRUE(t::waitUntil([] { return count("endSC", kEventClose) == 1; }, 5));
    EXPECT_TRUE(t::panelVisible(mainPanel));  // the program decides

    DisplayPanel(infoPanel);
    t::closePanel(infoPanel);
    ASSERT_TRUE(t::waitUntil([] { return count("velto_end", kEventClose) == 1; }, 5));
    EXPECT_EQ(withoutTicks().back().handle, infoPanel);

    DisplayPanel(comPanel);
    ASSERT_TRUE(t::panelVisible(comPanel));
    t::closePanel(comPanel);
    EXPECT_TRUE(t::waitUntil([] { return !t::panelVisible(comPanel); }, 5));
    EXPECT_EQ(withoutTicks().size(), 2u);
}

}  // namespace
