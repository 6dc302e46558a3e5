#include "rte/ui/graph_overlay.h"

#include "rte/ui/popups.h"
#include "rte/ui/text.h"
#include "rte/userint.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QWidget>

namespace rte::ui {
namespace {

constexpr int kInset = 6;

}  // namespace

GraphOverlay::GraphOverlay(QWidget *graph, Graph hooks)
    : graph_(graph), hooks_(std::move(hooks)), readout_(new QLabel(graph)), live_(new QPushButton(graph)),
      menu_(new QMenu(graph))
{
    // No accessible name: a label that has one hides its text from screen
    // readers, and the text is what matters here.  Its look is given when
    // it first shows (showReadout).
    // The pointer over the readout is still the pointer over the data.
    readout_->setAttribute(Qt::WA_TransparentForMouseEvents);
    readout_->hide();

    const QString liveView = QStringLiteral("Live view");
    live_->setText(liveView);
    live_->setAccessibleName(liveView);
    live_->setToolTip(QStringLiteral("Back to the program's axes, following the run (or double-click the graph)"));
    live_->setCursor(Qt::ArrowCursor);
    live_->adjustSize();
    live_->hide();
    connect(live_, &QPushButton::clicked, this, [this] { hooks_.backToLive(); });

    liveAction_ = menu_->addAction(liveView);
    liveAction_->setEnabled(false);
    connect(liveAction_, &QAction::triggered, this, [this] { hooks_.backToLive(); });
    connect(menu_->addAction(QStringLiteral("Save graph\u2026")), &QAction::triggered, this, [this] { saveAs(); });

    graph_->setMouseTracking(true);
    graph_->installEventFilter(this);
}

void GraphOverlay::setLookingAround(bool on)
{
    liveAction_->setEnabled(on);
    if (on)
        place();
    live_->setVisible(on);
}

void GraphOverlay::redrawn()
{
    if (!live_->isHidden())
        place();
    if (pointer_)
        showReadout();
}

bool GraphOverlay::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
        pointer_ = static_cast<QMouseEvent *>(event)->position().toPoint();
        showReadout();
        break;
    case QEvent::Leave:
        pointer_.reset();
        readout_->hide();
        break;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            hooks_.backToLive();
        break;
    case QEvent::ContextMenu:
        menu_->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void GraphOverlay::showReadout()
{
    const QString text = hooks_.readoutAt(*pointer_);
    if (text.isEmpty()) {
        readout_->hide();
        return;
    }
    // A style sheet makes a style of its own for the widget, which the
    // start does not wait for: the readout shows only under the pointer.
    if (readout_->styleSheet().isEmpty())
        readout_->setStyleSheet(QStringLiteral(
            "QLabel { background: rgba(255, 255, 255, 225); border: 1px solid #a0a0a0; padding: 1px 4px; }"));
    if (text != readout_->text()) {
        readout_->setText(text);
        readout_->adjustSize();
    }
    place();
    readout_->show();
}

void GraphOverlay::place()
{
    const QRect area = hooks_.plotArea();
    readout_->move(area.left() + kInset, area.top() + kInset);
    live_->move(area.right() + 1 - kInset - live_->width(), area.top() + kInset);
}

// PNG unless the name asks for PDF; a name without either gets ".png".
void GraphOverlay::saveAs()
{
    char chosen[4096];
    const int result = FileSelectPopup("", "graph.png", "*.png;*.pdf;", "Save graph", kLabelSave, 0, 0, 1, 1, chosen);
    if (result != kSelectionExisting && result != kSelectionNew)
        return;
    QString path = fromUtf8(chosen);
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool pdf = suffix == QLatin1String("pdf");
    if (!pdf && suffix != QLatin1String("png"))
        path += QLatin1String(".png");
    const QString title = QStringLiteral("Save graph");
    if (QFileInfo::exists(path)
        && !confirmPopup(title, QStringLiteral("%1 already exists. Replace it?").arg(path)))
        return;
    if (!hooks_.save(path, pdf))
        messagePopup(title, QStringLiteral("The graph could not be written to %1.").arg(path));
}

}  // namespace rte::ui
