// A small program on the engine for tests that need a process of their own,
// and for screenshots of the main panel:
//   ui_probe load FILE RESOURCE   load one panel, end with status 0
//   ui_probe exit STATUS          end through ExitProgram from a timer tick
//   ui_probe screenshot PNG       show the main panel with a run drawn,
//                                 save the screen with ImageMagick, end
//   ui_probe looking PNG          the same, with the graph zoomed in by the
//                                 wheel and the pointer's readout showing
//   ui_probe publishing PNG       the same for the publishing panel, filled in
//   ui_probe limits PNG           the run with its alarm limits and the time
//                                 of its alarms shaded
//   ui_probe events PNG           a stored recording with its events, the
//                                 tooltip of one showing
//   ui_probe panel RESOURCE PNG [alarm]   show one panel (the main panel with
//                                 its alarm reason and Acknowledge with
//                                 "alarm") and save the window's picture
#include "app/panel_ids.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QProcess>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int g_status = 0;
bool g_exitOnTick = false;

int control(int, int, int, void *, int, int) { return 0; }
int panelCallback(int, int, void *, int, int) { return 0; }
void menu(int, int, void *, int) {}
int tick(int, int, int event, void *, int, int)
{
    if (event == kEventTick && g_exitOnTick)
        ExitProgram(g_status);
    return 0;
}

// Roughly what a purge looks like on the analyser: an oxygen reading
// falling from air towards a few ppm, with some noise.
void drawRun(int panel)
{
    static int times[900];
    static double values[900];
    int n = 0;
    for (; n < 420; ++n) {
        times[n] = n;
        values[n] = 3.2 + 180.0 * std::exp(-n / 70.0) + 0.6 * std::sin(n * 0.37) * std::cos(n * 0.11);
    }
    SetAxisScalingMode(panel, kMainGraph, kAxisTime, kScaleManual, 0, 460);
    SetAxisScalingMode(panel, kMainGraph, kAxisY, kScaleManual, 0, 200);
    SetCtrlAttribute(panel, kMainGraph, kAttrRefreshAtOnce, 1);
    PlotXY(panel, kMainGraph, times, values, n, kTypeInt, kTypeDouble, kPlotThinLine, kPointNone, kLineSolid, 1,
           kColourBlue);
    SetCtrlVal(panel, kMainReading, "  3.47 ppm");
    SetCtrlAttribute(panel, kMainReading, kAttrDimmed, 0);
    SetCtrlVal(panel, kMainBusy, 1);
    SetCtrlAttribute(panel, kMainStart, kAttrColour, kColourGrey);
    SetCtrlAttribute(panel, kMainStop, kAttrColour, kColourDarkRed);
    SetCtrlAttribute(panel, kMainOpenFile, kAttrDimmed, 1);
    SetCtrlAttribute(panel, kMainQuantity, kAttrDimmed, 1);
    SetCtrlVal(panel, kMainFile, "/home/lab/purge-2024-05-14.dat");
}

// The purge against a high limit it starts above and a low limit it ends
// below: one alarm over, one in force.
void drawLimits(int panel)
{
    drawRun(panel);
    AddGraphLevel(panel, kMainGraph, 100, "HIGH 100 ppm", kColourRed);
    AddGraphLevel(panel, kMainGraph, 5, "LOW 5 ppm", kColourRed);
    AddGraphSpan(panel, kMainGraph, 0, 44, kColourRed);
    AddGraphSpan(panel, kMainGraph, 323, 419, kColourRed);
    SetCtrlVal(panel, kMainYMax, 200.0);
    SetCtrlAttribute(panel, kMainReading, kAttrTextColour, kColourRed);
    SetCtrlVal(panel, kMainAlarmReason, "LOW < 5 ppm O2");
    SetCtrlAttribute(panel, kMainAlarmReason, kAttrTextColour, kColourRed);
    SetCtrlAttribute(panel, kMainAlarmReason, kAttrVisible, 1);
    SetCtrlAttribute(panel, kMainAcknowledge, kAttrVisible, 1);
}

// A stored recording of a leak: the reading rises through the high limit,
// the alarm is acknowledged and the reading comes back.
double leak(double t)
{
    return 4.0 + 60.0 / (1 + std::exp(-(t - 150) / 12)) - 60.0 / (1 + std::exp(-(t - 330) / 15)) +
           0.4 * std::sin(t * 0.37) * std::cos(t * 0.11);
}

void drawEvents(int panel)
{
    static double times[600];
    static double values[600];
    const auto at = leak;
    for (int n = 0; n < 600; ++n) {
        times[n] = n;
        values[n] = at(n);
    }
    SetCtrlAttribute(panel, kMainGraph, kAttrTimeLabelDigits, 1);
    SetAxisScalingMode(panel, kMainGraph, kAxisTime, kScaleAuto, 0, 0);
    SetAxisScalingMode(panel, kMainGraph, kAxisY, kScaleAuto, 0, 0);
    SetCtrlAttribute(panel, kMainGraph, kAttrRefreshAtOnce, 1);
    PlotXY(panel, kMainGraph, times, values, 600, kTypeDouble, kTypeDouble, kPlotThinLine, kPointNone, kLineSolid, 1,
           kColourNavy);
    AddGraphLevel(panel, kMainGraph, 50, "HIGH 50 ppm", kColourRed);
    AddGraphMarker(panel, kMainGraph, 165, at(165), "HIGH alarm at 165.0 s: 50.338 (limit 50)", kColourRed);
    AddGraphMarker(panel, kMainGraph, 172, at(172), "Acknowledged at 172.0 s: 56.016", kColourOrange);
    AddGraphMarker(panel, kMainGraph, 312, at(312), "Back to normal at 312.0 s: 49.833", kColourGreen);
    SetCtrlVal(panel, kMainAutoscale, 1);
    SetCtrlVal(panel, kMainFile, "/home/lab/leak-test-2026-12-09.dat");
}

// The pointer rests on the event at time t.
void pointAt(int panel, double t, double y)
{
    QWidget *graph = rte::testing::widget(panel, kMainGraph);
    const auto [x, py] = rte::testing::graphPixel(panel, kMainGraph, t, y);
    const QPoint p(x, py);
    QHelpEvent help(QEvent::ToolTip, p, graph->mapToGlobal(p));
    QCoreApplication::sendEvent(graph, &help);
}

// The operator zooms into the tail of the purge and points at a reading.
void lookAround(int panel)
{
    QWidget *graph = rte::testing::widget(panel, kMainGraph);
    const auto [x, y] = rte::testing::graphPixel(panel, kMainGraph, 300, 10);
    const QPointF at(x, y);
    QWheelEvent wheel(at, graph->mapToGlobal(at), QPoint(), QPoint(0, 360), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(graph, &wheel);
    const auto [px, py] = rte::testing::graphPixel(panel, kMainGraph, 320, 4.3);
    const QPointF pointer(px, py);
    QMouseEvent move(QEvent::MouseMove, pointer, graph->mapToGlobal(pointer), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(graph, &move);
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    StartUserInterface(argc, argv,
                       {{"endSC", panelCallback}, {"velto", control}, {"velto_end", panelCallback},
                        {"stripch", menu}, {"comport", menu}, {"comok", control},
                        {"setzewas", control}, {"timer2", tick}, {"m_run", control},
                        {"m_stop", control}, {"skalieren", control}, {"oeffnen", control},
                        {"alarms_menu", menu}, {"alarms_apply", control}, {"alarms_close", panelCallback},
                        {"acknowledge", control},
                        {"publishing_menu", menu}, {"publish_apply", control},
                        {"publish_close", panelCallback}, {"publish_tick", control},
                        {"unattended_menu", menu}, {"unattended_switch", control},
                        {"unattended_close", panelCallback}, {"another_menu", menu},
                        {"another_start", control}, {"another_close", panelCallback},
                        {"summary_menu", menu}, {"export_menu", menu}, {"report_menu", menu},
                        {"summary_other", control}, {"summary_export", control},
                        {"summary_report", control}, {"summary_close", panelCallback}});
    if (mode == "load" && argc == 4) {
        LoadPanel(0, argv[2], std::atoi(argv[3]));
        std::puts("loaded");
        ExitProgram(0);
    } else if (mode == "exit" && argc == 3) {
        g_status = std::atoi(argv[2]);
        g_exitOnTick = true;
        const int panel = LoadPanel(0, kPanelFile, kMainPanel);
        DisplayPanel(panel);
        SetCtrlAttribute(panel, kMainTimer, kAttrInterval, 0.01);
    } else if ((mode == "screenshot" || mode == "looking") && argc == 3) {
        const int panel = LoadPanel(0, kPanelFile, kMainPanel);
        DisplayPanel(panel);
        drawRun(panel);
        if (mode == "looking")
            QTimer::singleShot(500, [panel] { lookAround(panel); });
        const QString target = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(1500, [target] {
            ExitProgram(QProcess::execute(QStringLiteral("import"), {"-window", "root", target}) == 0 ? 0 : 1);
        });
    } else if ((mode == "limits" || mode == "events") && argc == 3) {
        const int panel = LoadPanel(0, kPanelFile, kMainPanel);
        DisplayPanel(panel);
        if (mode == "limits") {
            drawLimits(panel);
        } else {
            drawEvents(panel);
            QTimer::singleShot(500, [panel] { pointAt(panel, 165, leak(165)); });
        }
        const QString target = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(1500, [target] {
            ExitProgram(QProcess::execute(QStringLiteral("import"), {"-window", "root", target}) == 0 ? 0 : 1);
        });
    } else if (mode == "publishing" && argc == 3) {
        const int panel = LoadPanel(0, kPanelFile, kPublishingPanel);
        SetCtrlVal(panel, kPublishingEnabled, 1);
        SetCtrlVal(panel, kPublishingHost, "broker.site.example");
        SetCtrlVal(panel, kPublishingPort, 8883);
        SetCtrlVal(panel, kPublishingTls, 1);
        SetCtrlVal(panel, kPublishingCaFile, "/etc/ssl/certs/site-ca.pem");
        SetCtrlVal(panel, kPublishingUser, "glovebox-3");
        SetCtrlVal(panel, kPublishingPassword, "not shown");
        SetCtrlVal(panel, kPublishingPrefix, "vandrel/glovebox-3");
        SetCtrlVal(panel, kPublishingClientId, "vandrel-glovebox-3");
        SetCtrlVal(panel, kPublishingCondition, "Connected to the broker.");
        DisplayPanel(panel);
        const QString target = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(1500, [target] {
            ExitProgram(QProcess::execute(QStringLiteral("import"), {"-window", "root", target}) == 0 ? 0 : 1);
        });
    } else if (mode == "panel" && (argc == 4 || (argc == 5 && std::string(argv[4]) == "alarm"))) {
        const int resource = std::atoi(argv[2]);
        const int panel = LoadPanel(0, kPanelFile, resource);
        // A control that every panel's window holds.
        const int any = resource == kMainPanel ? kMainReading : resource == kPortPanel ? kPortNumber : 1;
        if (argc == 5) {
            SetCtrlVal(panel, kMainAlarmReason, "HIGH > 1000 ppm O2");
            SetCtrlAttribute(panel, kMainAlarmReason, kAttrVisible, 1);
            SetCtrlAttribute(panel, kMainAcknowledge, kAttrVisible, 1);
        }
        DisplayPanel(panel);
        const QString target = QString::fromLocal8Bit(argv[3]);
        QTimer::singleShot(1000, [panel, any, target] {
            ExitProgram(rte::testing::widget(panel, any)->window()->grab().save(target) ? 0 : 1);
        });
    } else {
        std::fprintf(stderr, "usage: ui_probe load FILE RESOURCE | exit STATUS | screenshot PNG | looking PNG | "
                             "publishing PNG | limits PNG | events PNG | panel RESOURCE PNG [alarm]\n");
        ExitProgram(2);
    }
    return RunUserInterface();
}
