// The real panel file: every control the program relies on, as the operator
// and assistive technology meet it.
#include "rte/testing.h"
#include "rte/userint.h"
#include "rte/utility.h"
#include "test_ui.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>

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
    {&mainPanel, 2, Face::Entry, "Y min"},
    {&mainPanel, 3, Face::Entry, "Interval (s)"},
    {&mainPanel, 4, Face::Entry, "Y max"},
    {&mainPanel, 5, Face::Graph, "Readings over time"},
    {&mainPanel, 6, Face::Switch, "Log scale"},
    {&mainPanel, 7, Face::Switch, "Autoscale"},
    {&mainPanel, 8, Face::Lamp, "Busy"},
    {&mainPanel, 9, Face::Button, "Stop"},
    {&mainPanel, 10, Face::Button, "Start"},
    {&mainPanel, 11, Face::Button, "Open file"},
    {&mainPanel, 12, Face::Display, "Reading"},
    {&mainPanel, 13, Face::Button, "About"},
    {&mainPanel, 17, Face::Display, "File"},
    {&mainPanel, 19, Face::Selector, "Quantity"},
    {&comPanel, 2, Face::Entry, "Port number"},
    {&comPanel, 3, Face::Button, "OK"},
    {&comPanel, 4, Face::List, "Serial devices found (number and device)"},
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
    auto *combo = qobject_cast<QComboBox *>(t::widget(mainPanel, 19));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 3);
    const char *captions[] = {"Oxygen (ppm)", "Voltage (mV)", "Temperature (\u00b0C)"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(combo->itemText(i), QString::fromUtf8(captions[i]));
        ASSERT_EQ(SetCtrlVal(mainPanel, 19, i + 1), 0);
        int value = 0;
        GetCtrlVal(mainPanel, 19, value);
        EXPECT_EQ(value, i + 1);
        EXPECT_EQ(combo->currentIndex(), i);
    }
    SetCtrlVal(mainPanel, 19, 1);
}

TEST(PanelFile, FirstValuesShowTheIdleState)
{
    double interval = 0;
    GetCtrlVal(mainPanel, 3, interval);
    EXPECT_GT(interval, 0);
    char file[64];
    GetCtrlVal(mainPanel, 17, file);
    EXPECT_STREQ(file, "no file");
    EXPECT_FALSE(t::widget(mainPanel, 12)->isEnabled());
    EXPECT_DOUBLE_EQ(t::timerInterval(mainPanel, 18), 1.0);
    EXPECT_EQ(t::widget(mainPanel, 18), nullptr);
}

TEST(PanelFile, MenuBarHoldsSerialPortAndRestoreSettings)
{
    ASSERT_GT(menuBar, 0);
    auto *bar = t::widget(mainPanel, 5)->window()->findChild<QMenuBar *>();
    ASSERT_NE(bar, nullptr);
    QStringList captions;
    for (QAction *menu : bar->actions())
        for (QAction *item : menu->menu()->actions())
            captions << item->text().remove(QLatin1Char('&'));
    EXPECT_EQ(captions, (QStringList{"Serial port", "Restore settings"}));
}

TEST(PanelFile, InfoPanelNamesTheSettingsFileInTheProgramDirectory)
{
    char dir[4096];
    ASSERT_EQ(GetProjectDir(dir), 0);
    const QString expected = QDir::toNativeSeparators(QString::fromLocal8Bit(dir)) + "/vandrel.ini";
    bool found = false;
    for (QLabel *label : t::widget(infoPanel, 1)->window()->findChildren<QLabel *>())
        found = found || (label->text().contains(expected) && label->accessibleName() == label->text());
    EXPECT_TRUE(found) << expected.toStdString();
}

TEST(PanelFile, PortPanelListsDevicesEachTimeItIsShown)
{
    auto *list = qobject_cast<QListWidget *>(t::widget(comPanel, 4));
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
    auto *list = qobject_cast<QListWidget *>(t::widget(comPanel, 4));
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
