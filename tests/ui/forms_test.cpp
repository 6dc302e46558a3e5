// The panels' forms as the operator sees them: captions in one column,
// fields in one column, rows evenly spaced, and no window taller than its
// rows need.
#include "app/panel_ids.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "test_ui.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

using namespace ui_test;
namespace t = rte::testing;

namespace {

struct Shown {
    int *panel;
    int control;   // any control of the panel
    int forms;     // the forms the operator sees on it
};

const Shown kPanels[] = {
    {&mainPanel, kMainReading, 2},     {&comPanel, kPortNumber, 1},
    {&alarmPanel, kAlarmsOxygenLow, 4}, {&publishingPanel, kPublishingHost, 1},
    {&unattendedPanel, kUnattendedResume, 0},
};

// The layouts take a change in what shows, from the inner form outwards.
void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

QWidget *show(const Shown &p)
{
    DisplayPanel(*p.panel);
    QWidget *window = t::widget(*p.panel, p.control)->window();
    EXPECT_TRUE(t::waitUntil([window] { return window->isVisible(); }, 5));
    settle();
    return window;
}

QRect inWindow(const QWidget *w) { return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()); }

// The visible rows of a form, each the label and field it holds.
std::vector<std::vector<QWidget *>> rowsOf(const QFormLayout &form)
{
    std::vector<std::vector<QWidget *>> rows;
    for (int r = 0; r < form.rowCount(); ++r) {
        std::vector<QWidget *> row;
        for (auto role : {QFormLayout::LabelRole, QFormLayout::FieldRole, QFormLayout::SpanningRole})
            if (QLayoutItem *item = form.itemAt(r, role); item && item->widget() && item->widget()->isVisible())
                row.push_back(item->widget());
        if (!row.empty())
            rows.push_back(row);
    }
    return rows;
}

TEST(Forms, CaptionsAndFieldsStandInColumnsAndRowsAreEvenlySpaced)
{
    for (const Shown &p : kPanels) {
        QWidget *window = show(p);
        SCOPED_TRACE(window->windowTitle().toStdString());
        const QList<QFormLayout *> forms = window->findChildren<QFormLayout *>();
        EXPECT_EQ(forms.size(), p.forms);
        for (const QFormLayout *form : forms) {
            std::set<int> labelLefts, fieldLefts;
            int labelsRight = 0, fieldsLeft = window->width();
            for (int r = 0; r < form->rowCount(); ++r) {
                QLayoutItem *label = form->itemAt(r, QFormLayout::LabelRole);
                QLayoutItem *field = form->itemAt(r, QFormLayout::FieldRole);
                if (label && label->widget()->isVisible()) {
                    labelLefts.insert(inWindow(label->widget()).left());
                    labelsRight = std::max(labelsRight, inWindow(label->widget()).right());
                }
                if (field && field->widget()->isVisible()) {
                    fieldLefts.insert(inWindow(field->widget()).left());
                    fieldsLeft = std::min(fieldsLeft, inWindow(field->widget()).left());
                }
            }
            EXPECT_LE(labelLefts.size(), 1u);
            EXPECT_EQ(fieldLefts.size(), 1u);
            EXPECT_LT(labelsRight, fieldsLeft) << "a caption runs into the fields";
            // The gap from one row's box to the next is the same all down.
            std::set<int> gaps;
            int previousBottom = -1;
            for (const auto &row : rowsOf(*form)) {
                QRect box;
                for (QWidget *w : row)
                    box |= inWindow(w);
                if (previousBottom >= 0)
                    gaps.insert(box.top() - previousBottom);
                previousBottom = box.bottom();
            }
            EXPECT_LE(gaps.size(), 1u);
        }
        HidePanel(*p.panel);
    }
}

// Below the lowest control there is the layout's margin and no more, on
// every panel without a part that grows with the window.
TEST(Forms, APanelOpensNoTallerThanItsRowsNeed)
{
    for (const Shown &p : kPanels) {
        if (p.panel == &mainPanel || p.panel == &comPanel)
            continue;  // the graph and the device list take what is left
        QWidget *window = show(p);
        SCOPED_TRACE(window->windowTitle().toStdString());
        int lowest = 0;
        for (QWidget *w : window->findChildren<QWidget *>())
            if (w->isVisible() && w->layout() == nullptr)
                lowest = std::max(lowest, inWindow(w).bottom());
        EXPECT_LE(window->height() - 1 - lowest, window->layout()->contentsMargins().bottom());
        HidePanel(*p.panel);
    }
}

// The reading, the alarm's reason while an alarm shows, and the file stand
// right above the graph, with no room kept for a reason not shown.
TEST(Forms, TheMainPanelKeepsNoBandForAnAlarmThatDoesNotShow)
{
    show(kPanels[0]);
    const auto gapAboveGraph = [] {
        return inWindow(t::widget(mainPanel, kMainGraph)).top() -
               inWindow(t::widget(mainPanel, kMainFile)).bottom();
    };
    const int quiet = gapAboveGraph();
    const int fileTop = inWindow(t::widget(mainPanel, kMainFile)).top();
    SetCtrlAttribute(mainPanel, kMainAlarmReason, kAttrVisible, 1);
    settle();
    const int alarmHeight = t::widget(mainPanel, kMainAlarmReason)->height();
    EXPECT_LE(gapAboveGraph(), quiet);
    EXPECT_GT(inWindow(t::widget(mainPanel, kMainFile)).top(), fileTop + alarmHeight - 1);
    SetCtrlAttribute(mainPanel, kMainAlarmReason, kAttrVisible, 0);
    settle();
    EXPECT_EQ(inWindow(t::widget(mainPanel, kMainFile)).top(), fileTop);
    EXPECT_LT(quiet, alarmHeight) << "room for the alarm's reason above the graph";
    HidePanel(mainPanel);
}

}  // namespace
