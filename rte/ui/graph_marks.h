// The graph's marks: levels, spans, markers and notes that the program lays
// over its plots.  They are QCustomPlot items, not plottables, so the curves'
// merging and deleting never reaches them and autoscaling never sees them.
// A level shows only while its value lies inside the y range shown; that is
// settled just before every redraw, whatever moved the axis.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

#include <map>
#include <vector>

class QCPAbstractItem;
class QCustomPlot;

namespace rte::ui {

class GraphMarks final : public QObject {
public:
    explicit GraphMarks(QCustomPlot *plot);

    // Handles, or kUiBadArgument for a coordinate that is not finite.
    int addLevel(double y, const QString &label, int colour);
    int addSpan(double t0, double t1, int colour);
    int addMarker(double t, double y, const QString &tooltip, int colour);
    int addNote(const QString &text);
    // 0, kUiBadHandle or kUiBadArgument.
    int setSpan(int mark, double t0, double t1);
    // mark -1: every mark.  0 or kUiBadHandle.
    int remove(int mark);
    // The tooltip of the marker nearest a point of the widget, within reach;
    // empty when none is.
    QString tooltipAt(QPoint p) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend struct GraphInspection;

    // As rte::testing::MarkKind names them.
    enum class Kind { Level, Span, Marker, Note };
    struct Mark {
        Kind kind;
        double x0, x1, y;
        QString text;
        int colour;
        std::vector<QCPAbstractItem *> items;
    };

    int keep(Mark mark);
    void showLevels();
    bool levelShows(const Mark &m) const;

    QCustomPlot *plot_;
    std::map<int, Mark> marks_;
    int nextHandle_ = 1;
};

}  // namespace rte::ui
