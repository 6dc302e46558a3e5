// The cost of the measurement graph as the program uses it: one plot of the
// whole history (899 points) per cycle, piling up until the time window
// moves.  Prints the time to add one plot and redraw the graph (800 x 400,
// rendered into an image) with 0, 100 and 1,000 plots already there, merged
// as the engine draws them and naively (every plot a curve of its own), and
// the growth of resident memory over 10,000 added plots.
//
//   QT_QPA_PLATFORM=offscreen bench_graph
#include "rte/testing/testing.h"
#include "rte/userint.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

// The benchmark's own panel file: one panel holding one graph.
constexpr int kGraphPanel = 1;
constexpr int kGraph = 1;
constexpr int kPoints = 899;
int g_panel = 0;

// The program's history: a reading a second, shifted by one per cycle.
struct History {
    std::vector<int> time;
    std::vector<double> value;
    int next = 0;
    unsigned seed = 12345;

    void advance()
    {
        seed = seed * 1103515245u + 12345u;
        const double noise = ((seed >> 16) & 0x7FFF) / 32768.0 - 0.5;
        time.push_back(next);
        value.push_back(20 + 8 * std::sin(next * 0.02) + noise);
        ++next;
        if (static_cast<int>(time.size()) > kPoints) {
            time.erase(time.begin());
            value.erase(value.begin());
        }
    }
    int plot()
    {
        advance();
        return PlotXY(g_panel, kGraph, time.data(), value.data(), static_cast<int>(time.size()), kTypeInt, kTypeDouble,
                      kPlotThinLine, kPointNone, kLineSolid, 1, kColourBlue);
    }
};

double ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void redrawCost(int already, bool merged)
{
    constexpr int kRounds = 40;
    rte::testing::setPlotMerging(g_panel, kGraph, merged);
    DeleteGraphPlot(g_panel, kGraph, -1, 0);
    History h;
    for (int i = 0; i < kPoints; ++i)
        h.advance();
    SetCtrlAttribute(g_panel, kGraph, kAttrRefreshAtOnce, 0);
    for (int i = 0; i < already; ++i)
        h.plot();
    // The program's time window: the span of the history, ending at the
    // newest reading.
    SetAxisScalingMode(g_panel, kGraph, 0, 0, h.next - kPoints, h.next + kRounds + 1);
    SetCtrlAttribute(g_panel, kGraph, kAttrRefreshAtOnce, 1);
    QWidget *graph = rte::testing::widget(g_panel, kGraph);
    graph->grab();  // the first drawing sets up buffers and fonts
    std::vector<double> took;
    for (int r = 0; r < kRounds; ++r) {
        if (already == 0)
            DeleteGraphPlot(g_panel, kGraph, -1, 0);
        const auto start = std::chrono::steady_clock::now();
        h.plot();
        const QImage image = graph->grab().toImage();
        took.push_back(ms(std::chrono::steady_clock::now() - start));
        if (image.isNull())
            std::puts("no image");
    }
    std::sort(took.begin(), took.end());
    std::printf("  %-6s %5d plots already: median %7.3f ms, worst %7.3f ms (curves drawn: %d)\n",
                merged ? "merged" : "naive", already, took[took.size() / 2], took.back(),
                rte::testing::drawnCurveCount(g_panel, kGraph));
}

void memoryGrowth(int plots, bool merged)
{
    rte::testing::setPlotMerging(g_panel, kGraph, merged);
    DeleteGraphPlot(g_panel, kGraph, -1, 1);
    SetCtrlAttribute(g_panel, kGraph, kAttrRefreshAtOnce, 0);
    History h;
    for (int i = 0; i < kPoints; ++i)
        h.advance();
    for (int i = 0; i < 50; ++i)  // warm up the allocator and the drawing
        h.plot();
    rte::testing::widget(g_panel, kGraph)->grab();
    const long before = residentKiB();
    for (int i = 0; i < plots; ++i)
        h.plot();
    rte::testing::widget(g_panel, kGraph)->grab();
    std::printf("  %-6s resident memory grew by %ld KiB over %d added plots (plots alive: %d)\n",
                merged ? "merged" : "naive", residentKiB() - before, plots,
                rte::testing::plotCount(g_panel, kGraph));
}

}  // namespace

int main(int argc, char **argv)
{
    StartUserInterface(argc, argv, {});
    QTemporaryDir dir;
    const QString file = dir.filePath("bench.uir");
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    f.write(R"json({"format": "vandrel-panels", "version": 1, "panels": [
        {"resource": 1, "title": "Graph", "size": [900, 500], "controls": [
          {"number": 1, "kind": "graph", "caption": "Graph", "cell": [0, 0],
           "xLabel": "Elapsed time (s)", "yLabel": "Reading", "yRange": [0, 40]}]}]})json");
    f.close();
    g_panel = LoadPanel(0, QFile::encodeName(file).constData(), kGraphPanel);
    DisplayPanel(g_panel);
    rte::testing::widget(g_panel, kGraph)->setFixedSize(800, 400);

    // Memory first, while the allocator holds nothing freed by the others.
    std::puts("Memory:");
    memoryGrowth(10000, true);
    std::puts("Add one 899-point plot and redraw into an image (800 x 400):");
    for (bool merged : {true, false})
        for (int already : {0, 100, 1000})
            redrawCost(already, merged);
    memoryGrowth(1000, false);
    ExitProgram(0);
    return RunUserInterface();
}
