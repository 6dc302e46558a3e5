// The operator's side of the graph: zooming and panning with the mouse while
// the program's axes go on unseen, the ways back to them, the readout under
// the pointer, and saving the picture from the context menu.
#include "app/panel_ids.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"
#include "test_ui.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace ui_test;
namespace t = rte::testing;

namespace {

class OperatorView : public ::testing::Test {
protected:
    void SetUp() override
    {
        DisplayPanel(mainPanel);
        plainGraph();
        axes(0, 100, 0, 100);
        t::clearPopups();
    }
    void TearDown() override
    {
        doubleClick(middle());
        EXPECT_TRUE(view(0).following);
        plainGraph();
        t::clearPopups();
    }

    static void plainGraph()
    {
        DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
        SetCtrlAttribute(mainPanel, kMainGraph, kAttrYMapping, kMappingLinear);
        SetCtrlAttribute(mainPanel, kMainGraph, kAttrTimeLabelForm, kTimeSeconds);
    }

    static QWidget *graph() { return t::widget(mainPanel, kMainGraph); }

    // Manual axes, and the redraw that lays the plot area out for them.
    static void axes(double x0, double x1, double y0, double y1)
    {
        SetAxisScalingMode(mainPanel, kMainGraph, kAxisTime, kScaleManual, x0, x1);
        SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, kScaleManual, y0, y1);
        QCoreApplication::processEvents();
    }

    static void plot(std::vector<double> y)
    {
        std::vector<double> x;
        for (std::size_t i = 0; i < y.size(); ++i)
            x.push_back(static_cast<double>(i) * 10);
        PlotXY(mainPanel, kMainGraph, x.data(), y.data(), static_cast<int>(y.size()), kTypeDouble, kTypeDouble,
               kPlotThinLine, kPointNone, kLineSolid, 1, kColourBlue);
    }

    static t::GraphView view(int axis) { return t::graphView(mainPanel, kMainGraph, axis); }
    static t::GraphAxis program(int axis) { return t::graphAxis(mainPanel, kMainGraph, axis); }

    static QPoint middle() { return graph()->rect().center(); }

    static QPoint at(double time, double value)
    {
        const auto [x, y] = t::graphPixel(mainPanel, kMainGraph, time, value);
        return {x, y};
    }

    static void send(QEvent &&event) { QCoreApplication::sendEvent(graph(), &event); }

    static void mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held)
    {
        send(QMouseEvent(type, p, graph()->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier));
    }

    static void wheel(QPoint p, int notches)
    {
        send(QWheelEvent(p, graph()->mapToGlobal(QPointF(p)), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false));
    }

    static void drag(QPoint from, QPoint to)
    {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }

    static void doubleClick(QPoint p)
    {
        mouse(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
        mouse(QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    }

    static QPushButton *liveButton()
    {
        for (QPushButton *b : graph()->findChildren<QPushButton *>())
            if (b->accessibleName() == QLatin1String("Live view"))
                return b;
        return nullptr;
    }

    // Right-click on the graph, then the item picked with the keyboard.
    static void chooseFromMenu(const QString &item)
    {
        const QPoint p = middle();
        send(QContextMenuEvent(QContextMenuEvent::Mouse, p, graph()->mapToGlobal(p)));
        auto *menu = graph()->findChild<QMenu *>();
        ASSERT_NE(menu, nullptr);
        ASSERT_TRUE(t::waitUntil([menu] { return menu->isVisible(); }, 5));
        QAction *chosen = nullptr;
        for (QAction *a : menu->actions())
            if (a->text().startsWith(item))
                chosen = a;
        ASSERT_NE(chosen, nullptr) << item.toStdString();
        menu->setActiveAction(chosen);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(menu, &enter);
        EXPECT_TRUE(t::waitUntil([menu] { return !menu->isVisible(); }, 5));
    }
};

TEST_F(OperatorView, WheelZoomsAroundThePointerAndLeavesTheProgramAxesAlone)
{
    plot({20, 80, 40});
    ASSERT_TRUE(view(0).following);
    ASSERT_FALSE(liveButton()->isVisible());
    wheel(at(30, 70), 1);
    const t::GraphView x = view(0), y = view(1);
    EXPECT_FALSE(x.following);
    EXPECT_LT(x.max - x.min, 95);
    EXPECT_LT(y.max - y.min, 95);
    // The value under the pointer stays under it.
    EXPECT_NEAR((30 - x.min) / (x.max - x.min), 0.3, 0.01);
    EXPECT_NEAR((70 - y.min) / (y.max - y.min), 0.7, 0.01);
    EXPECT_EQ(program(0).min, 0);
    EXPECT_EQ(program(0).max, 100);
    EXPECT_TRUE(liveButton()->isVisible());

    wheel(at(30, 70), -2);
    EXPECT_GT(view(0).max - view(0).min, 100);
}

TEST_F(OperatorView, DragPansByTheDistanceMoved)
{
    drag(at(40, 50), at(60, 30));
    const t::GraphView x = view(0), y = view(1);
    EXPECT_FALSE(x.following);
    // What was under the pointer went along with it: 20 right and 20 down.
    EXPECT_NEAR(x.min, -20, 0.5);
    EXPECT_NEAR(x.max - x.min, 100, 1e-9);
    EXPECT_NEAR(y.min, 20, 0.5);
    EXPECT_NEAR(y.max - y.min, 100, 1e-9);
    EXPECT_EQ(program(1).min, 0);
}

// While the operator looks around the program goes on: its axes and data
// change, the view does not.  Each way back shows the program's axes and
// follows them again.
TEST_F(OperatorView, ProgramGoesOnUnseenUntilTheOperatorReturns)
{
    const std::vector<std::pair<const char *, std::function<void()>>> waysBack = {
        {"double click", [] { doubleClick(middle()); }},
        {"Live view button", [] { liveButton()->click(); }},
        {"context menu", [] { chooseFromMenu(QStringLiteral("Live view")); }},
    };
    for (const auto &[name, goBack] : waysBack) {
        SCOPED_TRACE(name);
        DeleteGraphPlot(mainPanel, kMainGraph, kAllPlots, 1);
        axes(0, 100, 0, 100);
        SetAxisScalingMode(mainPanel, kMainGraph, kAxisY, kScaleAuto, 0, 0);
        plot({20, 80, 40});
        wheel(at(50, 50), 2);
        const t::GraphView x = view(0), y = view(1);
        ASSERT_FALSE(x.following);

        SetAxisScalingMode(mainPanel, kMainGraph, kAxisTime, kScaleManual, 100, 200);
        plot({20, 80, 40, 500});
        QCoreApplication::processEvents();
        EXPECT_EQ(view(0).min, x.min);
        EXPECT_EQ(view(0).max, x.max);
        EXPECT_EQ(view(1).max, y.max);
        EXPECT_EQ(program(0).min, 100);
        EXPECT_GE(program(1).max, 500);
        EXPECT_TRUE(liveButton()->isVisible());

        goBack();
        EXPECT_TRUE(view(0).following);
        EXPECT_EQ(view(0).min, 100);
        EXPECT_EQ(view(0).max, 200);
        EXPECT_EQ(view(1).max, program(1).max);
        EXPECT_FALSE(liveButton()->isVisible());

        SetAxisScalingMode(mainPanel, kMainGraph, kAxisTime, kScaleManual, 200, 300);
        plot({20, 80, 40, 500, 900});
        EXPECT_EQ(view(0).min, 200);
        EXPECT_GE(view(1).max, 900);
    }
}

TEST_F(OperatorView, ReadoutShowsTheValueUnderThePointer)
{
    // Ranges so narrow that a pixel is far below the digits shown.
    struct Case {
        double x0, x1, y0, y1;
        int logarithmic, minutes;
        double time, value;
        const char *want;
    } cases[] = {
        {123.3, 123.5, 209050, 209150, 0, 0, 123.4, 209100, "t = 123.4 s, y = 2.091e+05"},
        {74.9, 75.1, 3.46, 3.48, 0, 1, 75, 3.47, "t = 1:15.0, y = 3.47"},
        {599.9, 600.1, 0.0122, 0.0124, 1, 1, 600, 0.0123, "t = 10:00.0, y = 0.0123"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.want);
        SetCtrlAttribute(mainPanel, kMainGraph, kAttrTimeLabelForm, c.minutes);
        SetCtrlAttribute(mainPanel, kMainGraph, kAttrYMapping, c.logarithmic);
        axes(c.x0, c.x1, c.y0, c.y1);
        mouse(QEvent::MouseMove, at(c.time, c.value), Qt::NoButton, Qt::NoButton);
        EXPECT_EQ(t::graphReadout(mainPanel, kMainGraph), c.want);
    }

    // Outside the data, and after the pointer left, nothing shows.
    mouse(QEvent::MouseMove, QPoint(1, 1), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(t::graphReadout(mainPanel, kMainGraph), "");
    mouse(QEvent::MouseMove, at(600, 0.0123), Qt::NoButton, Qt::NoButton);
    EXPECT_NE(t::graphReadout(mainPanel, kMainGraph), "");
    send(QEvent(QEvent::Leave));
    EXPECT_EQ(t::graphReadout(mainPanel, kMainGraph), "");
}

TEST_F(OperatorView, ReadoutFollowsTheAxesUnderAStillPointer)
{
    axes(123.3, 123.5, 209050, 209150);
    mouse(QEvent::MouseMove, at(123.4, 209100), Qt::NoButton, Qt::NoButton);
    ASSERT_EQ(t::graphReadout(mainPanel, kMainGraph), "t = 123.4 s, y = 2.091e+05");
    axes(223.3, 223.5, 209050, 209150);
    EXPECT_TRUE(t::waitUntil([] { return t::graphReadout(mainPanel, kMainGraph) == "t = 223.4 s, y = 2.091e+05"; }, 5))
        << t::graphReadout(mainPanel, kMainGraph);
}

TEST_F(OperatorView, SaveGraphWritesPngOrPdfFromTheContextMenu)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QFile kept(dir.filePath("kept.png"));
        ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
        kept.write("mine");
    }
    const QByteArray png("\x89PNG\r\n\x1a\n", 8), pdf("%PDF-");
    struct Case {
        const char *chosen;
        int replace;  // -1: nobody is asked
        const char *written;
        QByteArray starts;
    } cases[] = {
        {"run.png", -1, "run.png", png},
        {"run.PDF", -1, "run.PDF", pdf},
        {"bare", -1, "bare.png", png},
        {"kept.png", 0, "kept.png", "mine"},
        {"kept", 1, "kept.png", png},
        {"Grafik Ω ü.png", -1, "Grafik Ω ü.png", png},
        {"Grafik Ω ü", 1, "Grafik Ω ü.png", png},
    };
    plot({20, 80, 40, 60});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.chosen);
        t::clearPopups();
        t::queueFileSelect(kSelectionNew, dir.filePath(c.chosen).toStdString());
        if (c.replace >= 0)
            t::queueConfirm(c.replace);
        chooseFromMenu(QStringLiteral("Save graph"));
        EXPECT_EQ(t::pendingAnswers(), 0);
        ASSERT_FALSE(t::popupLog().empty());
        EXPECT_EQ(t::popupLog().front(), "file|Save graph");
        if (c.replace >= 0) {
            ASSERT_EQ(t::popupLog().size(), 2u);
            EXPECT_NE(t::popupLog()[1].find(dir.filePath(c.written).toStdString()), std::string::npos)
                << t::popupLog()[1];
        }
        QFile written(dir.filePath(c.written));
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_TRUE(written.readAll().startsWith(c.starts));
    }
}

TEST_F(OperatorView, SaveGraphCancelledOrUnwritableLeavesNoFile)
{
    QTemporaryDir dir;
    t::queueFileSelect(kSelectionCancelled, "");
    chooseFromMenu(QStringLiteral("Save graph"));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    t::queueFileSelect(kSelectionNew, dir.filePath("missing/graph.png").toStdString());
    t::queueMessageAck();
    chooseFromMenu(QStringLiteral("Save graph"));
    EXPECT_EQ(t::pendingAnswers(), 0);
    EXPECT_EQ(t::popupLog().back().rfind("Save graph|The graph could not be written", 0), 0u) << t::popupLog().back();
}

}  // namespace
