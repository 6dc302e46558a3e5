// Values, commits and attributes of the controls, operated through the real
// widgets.
#include "rte/testing.h"
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
        SetCtrlVal(mainPanel, 3, 1.0);
        SetCtrlVal(mainPanel, 2, 0.0);
        SetCtrlVal(mainPanel, 4, 100.0);
        SetCtrlVal(mainPanel, 7, 0);
        SetCtrlVal(mainPanel, 19, 1);
        SetCtrlVal(mainPanel, 12, "");
        SetCtrlVal(mainPanel, 17, "no file");
        SetCtrlAttribute(mainPanel, 11, 500, 0);
        SetMenuBarAttribute(menuBar, 2, 500, 0);
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
        {&mainPanel, 3, 2.5}, {&mainPanel, 3, 0.05},    {&mainPanel, 2, -1.25e-3}, {&mainPanel, 4, 123456.789},
        {&mainPanel, 7, 1},   {&mainPanel, 6, 1},       {&mainPanel, 6, 0},        {&mainPanel, 8, 1},
        {&mainPanel, 19, 3},  {&comPanel, 2, 17},
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
    SetCtrlVal(mainPanel, 8, 0);
    SetCtrlVal(mainPanel, 6, 0);
}

TEST_F(Controls, EntriesKeepTheirRange)
{
    SetCtrlVal(mainPanel, 3, 0.0);
    double interval = 0;
    GetCtrlVal(mainPanel, 3, interval);
    EXPECT_GT(interval, 0);
    SetCtrlVal(comPanel, 2, 999);
    int port = 0;
    GetCtrlVal(comPanel, 2, port);
    EXPECT_EQ(port, 256);
}

TEST_F(Controls, TextIsWindows1252AtTheInterface)
{
    ASSERT_EQ(SetCtrlVal(mainPanel, 12, "21.5 \xB0" "C"), 0);
    EXPECT_EQ(qobject_cast<QLineEdit *>(t::widget(mainPanel, 12))->text(), QString::fromUtf8("21.5 \u00b0C"));
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    SetCtrlVal(mainPanel, 12, all.c_str());
    char back[300];
    ASSERT_EQ(GetCtrlVal(mainPanel, 12, back), 0);
    EXPECT_EQ(std::string(back), all);
    EXPECT_EQ(qobject_cast<QLineEdit *>(t::widget(mainPanel, 12))->text().at(0x80 - 1), QChar(0x20AC));
}

// The file display is declared a path in the panel file: UTF-8, every
// character kept.
TEST_F(Controls, PathDisplayKeepsEveryCharacter)
{
    const std::string path = "/tmp/Messdaten Müller/Prüfung Ω Проба 測定 🧪.dat";
    ASSERT_EQ(SetCtrlVal(mainPanel, 17, path.c_str()), 0);
    EXPECT_EQ(qobject_cast<QLineEdit *>(t::widget(mainPanel, 17))->text(), QString::fromStdString(path));
    char back[300];
    ASSERT_EQ(GetCtrlVal(mainPanel, 17, back), 0);
    EXPECT_EQ(std::string(back), path);
}

TEST_F(Controls, TextIsCutToTheTarget)
{
    SetCtrlVal(mainPanel, 17, "no file at all");
    char small[5] = "xxxx";
    ASSERT_EQ(GetCtrlVal(mainPanel, 17, small), 0);
    EXPECT_STREQ(small, "no f");
}

TEST_F(Controls, WrongHandlesAndKindsAreRefused)
{
    EXPECT_EQ(SetCtrlVal(999, 3, 1), kUiBadHandle);
    EXPECT_EQ(SetCtrlVal(mainPanel, 99, 1), kUiBadHandle);
    EXPECT_EQ(SetCtrlVal(mainPanel, 3, "1.5"), kUiBadArgument);
    EXPECT_EQ(SetCtrlVal(mainPanel, 19, 7), kUiBadArgument);
    EXPECT_EQ(SetCtrlAttribute(mainPanel, 3, 1096, 1), kUiBadArgument);
    EXPECT_EQ(SetMenuBarAttribute(menuBar, 9, 500, 1), kUiBadHandle);
    EXPECT_EQ(DisplayPanel(999), kUiBadHandle);
}

TEST_F(Controls, EnterCommitsTheTypedValue)
{
    t::typeInto(mainPanel, 3, "2.5");
    ASSERT_TRUE(t::waitUntil([] { return count("skalieren", 1) == 1; }, 5));
    EXPECT_EQ(withoutTicks().back().control, 3);
    EXPECT_EQ(withoutTicks().back().value, 2.5);
    // Enter again without a change applies the value again.
    t::typeInto(mainPanel, 3, "2.5");
    EXPECT_TRUE(t::waitUntil([] { return count("skalieren", 1) == 2; }, 5));
}

TEST_F(Controls, LeavingAChangedEntryCommitsButTypingDoesNot)
{
    t::typeInto(mainPanel, 2, "7", false);
    QCoreApplication::processEvents();
    EXPECT_EQ(count("skalieren", 1), 0);
    t::focusControl(mainPanel, 4);
    ASSERT_TRUE(t::waitUntil([] { return count("skalieren", 1) == 1; }, 5));
    EXPECT_EQ(withoutTicks().back().control, 2);
    EXPECT_EQ(withoutTicks().back().value, 7);
    // Passing through without a change commits nothing.
    t::focusControl(mainPanel, 2);
    t::focusControl(mainPanel, 4);
    QCoreApplication::processEvents();
    EXPECT_EQ(count("skalieren", 1), 1);
}

TEST_F(Controls, ValuesSetByTheProgramDoNotCommit)
{
    SetCtrlVal(mainPanel, 3, 4.0);
    SetCtrlVal(mainPanel, 7, 1);
    SetCtrlVal(mainPanel, 19, 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(withoutTicks().empty());
}

TEST_F(Controls, ButtonsSwitchesAndSelectorsCommitWhenOperated)
{
    t::operate(mainPanel, 10);
    t::operate(mainPanel, 7);
    t::selectItem(mainPanel, 19, 1);
    t::operate(mainPanel, 13);
    t::operate(comPanel, 3);
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
        EXPECT_EQ(c.event, 1);
}

TEST_F(Controls, DimmedControlsCannotBeOperated)
{
    ASSERT_EQ(SetCtrlAttribute(mainPanel, 11, 500, 1), 0);
    EXPECT_FALSE(t::widget(mainPanel, 11)->isEnabled());
    t::operate(mainPanel, 11);
    QCoreApplication::processEvents();
    EXPECT_EQ(count("oeffnen", 1), 0);
    SetCtrlAttribute(mainPanel, 11, 500, 0);
    t::operate(mainPanel, 11);
    EXPECT_TRUE(t::waitUntil([] { return count("oeffnen", 1) == 1; }, 5));
}

TEST_F(Controls, ButtonColourIsItsFace)
{
    for (int rgb : {0x008000, 0xA0A0A0, 0x800000}) {
        ASSERT_EQ(SetCtrlAttribute(mainPanel, 10, 880, rgb), 0);
        const QPalette pal = t::widget(mainPanel, 10)->palette();
        EXPECT_EQ(pal.color(QPalette::Button).rgb() & 0xFFFFFF, static_cast<QRgb>(rgb));
        // The caption stays readable on the face.
        EXPECT_GT(std::abs(pal.color(QPalette::ButtonText).lightness() - pal.color(QPalette::Button).lightness()), 90);
    }
}

TEST_F(Controls, MenuItemsCallTheirCallbackUnlessDimmed)
{
    t::activateMenuItem(menuBar, 1);
    ASSERT_TRUE(t::waitUntil([] { return count("comport", 0) == 1; }, 5));
    EXPECT_EQ(withoutTicks().back().handle, menuBar);
    EXPECT_EQ(withoutTicks().back().control, 1);
    ASSERT_EQ(SetMenuBarAttribute(menuBar, 2, 500, 1), 0);
    t::activateMenuItem(menuBar, 2);
    t::activateMenuItem(menuBar, 1);
    ASSERT_TRUE(t::waitUntil([] { return count("comport", 0) == 2; }, 5));
    EXPECT_EQ(count("stripch", 0), 0);
    SetMenuBarAttribute(menuBar, 2, 500, 0);
    t::activateMenuItem(menuBar, 2);
    EXPECT_TRUE(t::waitUntil([] { return count("stripch", 0) == 1; }, 5));
}

TEST_F(Controls, CloseRequestsGoToThePanelCallbackOrHide)
{
    t::closePanel(mainPanel);
    ASSERT_TRUE(t::waitUntil([] { return count("endSC", 11) == 1; }, 5));
    EXPECT_TRUE(t::panelVisible(mainPanel));  // the program decides

    DisplayPanel(infoPanel);
    t::closePanel(infoPanel);
    ASSERT_TRUE(t::waitUntil([] { return count("velto_end", 11) == 1; }, 5));
    EXPECT_EQ(withoutTicks().back().handle, infoPanel);

    DisplayPanel(comPanel);
    ASSERT_TRUE(t::panelVisible(comPanel));
    t::closePanel(comPanel);
    EXPECT_TRUE(t::waitUntil([] { return !t::panelVisible(comPanel); }, 5));
    EXPECT_EQ(withoutTicks().size(), 2u);
}

}  // namespace
