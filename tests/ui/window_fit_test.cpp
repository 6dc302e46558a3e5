// The panels' windows on the screen they open on (the offscreen platform's
// screen, set per run): within its free area, never smaller than the size at
// which every control is whole, and the graph the part that gives up space.
#include "app/panel_ids.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "test_ui.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace ui_test;
namespace t = rte::testing;

namespace {

struct PanelControls {
    int *panel;
    std::vector<int> controls;  // every control with a face, the graph aside
    std::vector<int> shown;     // of them, those that start hidden, shown here
    std::vector<std::pair<int, const char *>> texts;  // texts the program may set, set here
};

const PanelControls kPanels[] = {
    {&mainPanel, {12, 19, 10, 9, 8, 3, 2, 4, 7, 6, 11, 13, 17}, {}, {}},
    // An alarm adds its reason and the Acknowledge button.
    {&mainPanel, {12, 19, 10, 9, 8, 3, 2, 4, 7, 6, 11, 13, 17, 20, 21}, {20, 21}, {}},
    {&comPanel, {5, 2, 3, 4, 6}, {}, {}},
    // A port that does not open says why, at length.
    {&comPanel,
     {5, 2, 3, 4, 6},
     {},
     {{6, "Port 256 cannot be opened: no permission: add the user to the group dialout."}}},
    {&infoPanel, {1, 2, 3, 4}, {}, {}},
    {&alarmPanel, {1, 11, 12, 13, 14, 15, 21, 22, 23, 24, 25, 31, 32, 33, 34, 35, 41, 42, 2, 3, 4}, {}, {}},
    {&publishingPanel, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {}, {}},
    // The switches, with the longest things it says.
    {&unattendedPanel,
     {1, 2, 3, 4, 5, 6},
     {},
     {{3, "The session start cannot be removed."},
      {5, "This system offers no start with the session for this user."}}},
};

void showHidden(const PanelControls &p, int visible)
{
    for (int control : p.shown)
        SetCtrlAttribute(*p.panel, control, kAttrVisible, visible);
    for (const auto &[control, text] : p.texts)
        SetCtrlVal(*p.panel, control, visible ? text : "");
}

QWidget *windowOf(const PanelControls &p) { return t::widget(*p.panel, p.controls.front())->window(); }

void layOut(QWidget *window, QSize size)
{
    window->resize(size);
    window->layout()->activate();
    QCoreApplication::processEvents();
}

// Whole: as large as the widget asks to be; wrapped text as tall as its
// lines at the width it got.
bool whole(const QWidget *w)
{
    const auto *label = qobject_cast<const QLabel *>(w);
    if (label && label->wordWrap())
        return w->width() >= w->minimumSizeHint().width() && w->height() >= w->heightForWidth(w->width());
    return w->width() >= w->sizeHint().width() && w->height() >= w->sizeHint().height();
}

// The control with its caption label.
std::vector<QWidget *> faces(QWidget *w)
{
    std::vector<QWidget *> out{w};
    for (QLabel *label : w->window()->findChildren<QLabel *>())
        if (label->buddy() == w)
            out.push_back(label);
    return out;
}

// True when the line shows `text` without scrolling it: the cursor at its
// end sits one text width right of the cursor at its start.
bool showsWhole(QLineEdit *line, const QString &text)
{
    const QString before = line->text();
    line->setText(text);
    line->setCursorPosition(0);
    line->grab();  // the line scrolls when it paints
    const int start = line->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
    line->setCursorPosition(static_cast<int>(text.size()));
    line->grab();
    const int end = line->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
    line->setText(before);
    line->setCursorPosition(0);
    return end - start == line->fontMetrics().horizontalAdvance(text);
}

TEST(WindowFit, EachPanelOpensWithinTheFreeAreaOfItsScreen)
{
    const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
    for (const PanelControls &p : kPanels) {
        QWidget *window = windowOf(p);
        SCOPED_TRACE(window->windowTitle().toStdString());
        showHidden(p, 1);
        DisplayPanel(*p.panel);
        ASSERT_TRUE(t::waitUntil([window] { return window->isVisible(); }, 5));
        EXPECT_TRUE(free.contains(window->frameGeometry())) << "frame at " << window->frameGeometry().x() << ","
                                                           << window->frameGeometry().y() << " size "
                                                           << window->frameGeometry().width() << "x"
                                                           << window->frameGeometry().height();
        HidePanel(*p.panel);
        showHidden(p, 0);
    }
}

// A 1024 x 600 screen less a task bar, and the window's title bar and
// borders: what the smallest size must leave room for.
constexpr int kSmallestWidth = 1024 - 16, kSmallestHeight = 600 - 40 - 40;

TEST(WindowFit, AtItsMinimumSizeEveryControlIsWhole)
{
    for (const PanelControls &p : kPanels) {
        QWidget *window = windowOf(p);
        SCOPED_TRACE(window->windowTitle().toStdString());
        showHidden(p, 1);
        DisplayPanel(*p.panel);
        const QSize least = window->minimumSize();
        EXPECT_LE(least.width(), kSmallestWidth);
        EXPECT_LE(least.height(), kSmallestHeight);
        // Smaller than that is what the operator may ask for; the window
        // stays at its minimum.
        layOut(window, QSize(400, 300));
        for (int control : p.controls)
            for (QWidget *w : faces(t::widget(*p.panel, control)))
                EXPECT_TRUE(whole(w)) << control << " " << w->metaObject()->className() << " is " << w->width()
                                      << "x" << w->height() << ", asks for " << w->sizeHint().width() << "x"
                                      << w->sizeHint().height();
        HidePanel(*p.panel);
        showHidden(p, 0);
    }
}

TEST(WindowFit, TheReadingShowsItsWidestTextAtTheMinimumSize)
{
    QWidget *window = t::widget(mainPanel, kMainReading)->window();
    DisplayPanel(mainPanel);
    layOut(window, window->minimumSize());
    auto *reading = qobject_cast<QLineEdit *>(t::widget(mainPanel, kMainReading));
    ASSERT_NE(reading, nullptr);
    // The value ten characters wide, with the widest unit.
    EXPECT_TRUE(showsWhole(reading, QString::fromUtf8(" 1234567.89 ppm O2")));
    HidePanel(mainPanel);
}

TEST(WindowFit, TheGraphGivesUpSpaceFirst)
{
    QWidget *window = t::widget(mainPanel, kMainGraph)->window();
    DisplayPanel(mainPanel);
    QWidget *graph = t::widget(mainPanel, kMainGraph);
    layOut(window, window->minimumSize() + QSize(300, 200));
    const QSize graphLarge = graph->size(), startLarge = t::widget(mainPanel, kMainStart)->size();
    layOut(window, window->minimumSize());
    EXPECT_EQ(graph->width(), graphLarge.width() - 300);
    EXPECT_EQ(graph->height(), graphLarge.height() - 200);
    EXPECT_EQ(t::widget(mainPanel, kMainStart)->size(), startLarge);
    HidePanel(mainPanel);
}

}  // namespace
