// The real panel file: every control the program relies on, as the operator
// and assistive technology meet it.
#include "app/panel_ids.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "test_ui.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include <gtest/gtest.h>

#include <set>

using namespace ui_test;
namespace t = rte::testing;

namespace {

enum class Face { Button, Entry, Selector, Switch, Lamp, Display, Graph, List };

struct Expected {
    int *panel;
    int control;
    Face face;
    const char *caption;
};

const Expected kControlMap[] = {
    {&mainPanel, kMainYMin, Face::Entry, "Y min"},
    {&mainPanel, kMainInterval, Face::Entry, "Interval (s)"},
    {&mainPanel, kMainYMax, Face::Entry, "Y max"},
    {&mainPanel, kMainGraph, Face::Graph, "Readings over time"},
    {&mainPanel, kMainLogScale, Face::Switch, "Log scale"},
    {&mainPanel, kMainAutoscale, Face::Switch, "Autoscale"},
    {&mainPanel, kMainBusy, Face::Lamp, "Busy"},
    {&mainPanel, kMainStop, Face::Button, "Stop"},
    {&mainPanel, kMainStart, Face::Button, "Start"},
    {&mainPanel, kMainOpenFile, Face::Button, "Open file"},
    {&mainPanel, kMainReading, Face::Display, "Reading"},
    {&mainPanel, kMainAbout, Face::Button, "About"},
    {&mainPanel, kMainFile, Face::Display, "File"},
    {&mainPanel, kMainQuantity, Face::Selector, "Quantity"},
    {&comPanel, kPortNumber, Face::Entry, "Port number"},
    {&comPanel, kPortOk, Face::Button, "OK"},
    {&comPanel, kPortDevices, Face::List, "Serial devices found (number and device)"},
};

bool hasFace(QWidget *w, Face face)
{
    switch (face) {
    case Face::Button: return qobject_cast<QPushButton *>(w);
    case Face::Entry: return qobject_cast<QAbstractSpinBox *>(w);
    case Face::Selector: return qobject_cast<QComboBox *>(w);
    case Face::Switch: return qobject_cast<QCheckBox *>(w);
    case Face::Display: return qobject_cast<QLineEdit *>(w) && qobject_cast<QLineEdit *>(w)->isReadOnly();
    case Face::List: return qobject_cast<QListWidget *>(w);
    case Face::Lamp:
    case Face::Graph: return w != nullptr;
    }
    return false;
}

// The label that names a control for the operator, if it has one.
QLabel *buddyLabel(QWidget *w)
{
    for (QLabel *label : w->window()->findChildren<QLabel *>())
        if (label->buddy() == w)
            return label;
    return nullptr;
}

TEST(PanelFile, EveryControlOfTheMapIsThereNamedAndReachableByKeyboard)
{
    for (const Expected &e : kControlMap) {
        SCOPED_TRACE(e.caption);
        QWidget *w = t::widget(*e.panel, e.control);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(hasFace(w, e.face));
        EXPECT_EQ(w->accessibleName(), QString::fromUtf8(e.caption));
        EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus);
        if (e.face == Face::Entry || e.face == Face::Selector || e.face == Face::Display || e.face == Face::List) {
            QLabel *label = buddyLabel(w);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), QString::fromUtf8(e.caption));
        }
    }
}

TEST(PanelFile, TabbingVisitsEveryControlOfEachPanel)
{
    for (int *panel : {&mainPanel, &comPanel}) {
        QWidget *window = t::widget(*panel, *panel == mainPanel ? 5 : 2)->window();
        std::set<QWidget *> chain;
        for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus)
                chain.insert(w);
        for (const Expected &e : kControlMap) {
            if (e.panel == panel) {
                EXPECT_TRUE(chain.count(t::widget(*panel, e.control))) << e.caption;
            }
        }
    }
}

TEST(PanelFile, QuantitySelectorOffersThreeQuantitiesByValue)
{
    auto *combo = qobject_cast<QComboBox *>(t::widget(mainPanel, kMainQuantity));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 3);
    const char *captions[] = {"Oxygen (ppm)", "Voltage (mV)", "Temperature (\u00b0C)"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(combo->itemText(i), QString::fromUtf8(captions[i]));
        ASSERT_EQ(SetCtrlVal(mainPanel, kMainQuantity, i + 1), 0);
        int value = 0;
        GetCtrlVal(mainPanel, kMainQuantity, value);
        EXPECT_EQ(value, i + 1);
        EXPECT_EQ(combo->currentIndex(), i);
    }
    SetCtrlVal(mainPanel, kMainQuantity, 1);
}

TEST(PanelFile, FirstValuesShowTheIdleState)
{
    double interval = 0;
    GetCtrlVal(mainPanel, kMainInterval, interval);
    EXPECT_GT(interval, 0);
    char file[64];
    GetCtrlVal(mainPanel, kMainFile, file);
    EXPECT_STREQ(file, "no file");
    EXPECT_FALSE(t::widget(mainPanel, kMainReading)->isEnabled());
    EXPECT_DOUBLE_EQ(t::timerInterval(mainPanel, kMainTimer), 1.0);
    EXPECT_EQ(t::widget(mainPanel, kMainTimer), nullptr);
}

TEST(PanelFile, MenuBarHoldsTheSettingsAndRecordingItems)
{
    ASSERT_GT(menuBar, 0);
    auto *bar = t::widget(mainPanel, kMainGraph)->window()->findChild<QMenuBar *>();
    ASSERT_NE(bar, nullptr);
    QStringList captions;
    for (QAction *menu : bar->actions())
        for (QAction *item : menu->menu()->actions())
            captions << item->text().remove(QLatin1Char('&'));
    EXPECT_EQ(captions,
              (QStringList{"Serial port", "Restore settings", "Alarms...", "Publishing...", "Unattended...",
                           "Another analyser...", "Summary...", "Export CSV...", "Report..."}));
}

TEST(PanelFile, MenuBarOverflowButtonDrawsTheStylesIcon)
{
    auto *bar = t::widget(mainPanel, kMainGraph)->window()->findChild<QMenuBar *>();
    ASSERT_NE(bar, nullptr);
    auto *overflow = bar->findChild<QToolButton *>(QStringLiteral("qt_menubar_ext_button"));
    ASSERT_NE(overflow, nullptr);
    // The icon is made when first asked for; it must then be the style's.
    EXPECT_FALSE(overflow->icon().isNull());
    const QImage drawn = overflow->icon().pixmap(16, 16).toImage();
    ASSERT_FALSE(drawn.isNull());
    bool inked = false;
    for (int y = 0; y < drawn.height() && !inked; ++y)
        for (int x = 0; x < drawn.width() && !inked; ++x)
            inked = qAlpha(drawn.pixel(x, y)) > 0;
    EXPECT_TRUE(inked);
}

TEST(PanelFile, InfoPanelNamesTheSettingsFileInTheProgramDirectory)
{
    char dir[4096];
    ASSERT_EQ(GetProjectDir(dir), 0);
    const QString expected = QDir::toNativeSeparators(QString::fromLocal8Bit(dir)) + "/vandrel.ini";
    bool found = false;
    for (QLabel *label : t::widget(infoPanel, kInfoTitle)->window()->findChildren<QLabel *>())
        found = found || (label->text().contains(expected) && label->accessibleName() == label->text());
    EXPECT_TRUE(found) << expected.toStdString();
}

TEST(PanelFile, PortPanelListsDevicesEachTimeItIsShown)
{
    auto *list = qobject_cast<QListWidget *>(t::widget(comPanel, kPortDevices));
    ASSERT_NE(list, nullptr);
    list->clear();
    DisplayPanel(comPanel);
    EXPECT_GT(list->count(), 0);
    HidePanel(comPanel);
    EXPECT_FALSE(t::panelVisible(comPanel));
}

// Each line: a number that reaches the device, or words that say none
// does; a mapping to a device that is not there says so.
TEST(PanelFile, PortPanelTellsWhichNumberReachesEachDevice)
{
    auto *list = qobject_cast<QListWidget *>(t::widget(comPanel, kPortDevices));
    ASSERT_NE(list, nullptr);
    setenv("RTE_COM1", "/nonexistent/analyser", 1);
    setenv("RTE_COM3", "/dev/null", 1);
    DisplayPanel(comPanel);
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    HidePanel(comPanel);
    unsetenv("RTE_COM1");
    unsetenv("RTE_COM3");
    EXPECT_TRUE(lines.contains("  1   /nonexistent/analyser   (missing)")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("  3   /dev/null")) << lines.join('\n').toStdString();
    // /dev/ttyS0, where the system has it, is now reached by no number.
    for (const QString &line : lines) {
        const int number = line.section(' ', 0, 0, QString::SectionSkipEmpty).toInt();
        EXPECT_TRUE((number >= 1 && number <= 256) || line.endsWith("   (no port number reaches it)"))
            << line.toStdString();
    }
}

}  // namespace
