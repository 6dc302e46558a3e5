// What the operator has over the graph besides its picture: a readout of the
// time and value under the pointer, a Live view button while they look
// around, and a context menu that saves the picture.  It knows nothing of
// how the graph draws: the graph lends it what it needs.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;

namespace rte::ui {

class GraphOverlay final : public QObject {
public:
    struct Graph {
        // Where the data are drawn, in the graph widget's coordinates.
        std::function<QRect()> plotArea;
        // The readout for a pointer position; empty outside the data.
        std::function<QString(QPoint)> readoutAt;
        std::function<void()> backToLive;
        // Writes the picture; false when the file could not be written.
        std::function<bool(const QString &path, bool pdf)> save;
    };

    // The overlay's widgets belong to `graph` and die with it; the overlay
    // stops listening when it dies itself.
    GraphOverlay(QWidget *graph, Graph hooks);

    void setLookingAround(bool on);
    // After every redraw: the plot area may have moved, and so may the axes
    // under a pointer that stands still.
    void redrawn();
protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend struct GraphInspection;

    void showReadout();
    void place();
    void saveAs();

    QWidget *graph_;
    Graph hooks_;
    QLabel *readout_;
    QPushButton *live_;
    QMenu *menu_;
    QAction *liveAction_;
    std::optional<QPoint> pointer_;
};

}  // namespace rte::ui
