// Documents written as PDF with Qt's own writer (QPdfWriter): headings,
// text and a graph control's picture, laid out down the page and onto the
// next one as each fills.
#include "rte/userint.h"

#include "rte/ui/engine.h"
#include "rte/ui/graph.h"
#include "rte/ui/panel.h"
#include "rte/ui/text.h"

#include <QFontDatabase>
#include <QLocale>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextLayout>
#include <qcustomplot.h>

#include <map>
#include <memory>

namespace {

struct Document {
    QPdfWriter writer;
    QCPPainter painter;
    double y = 0;  // where the next block begins, in the painter's units
    explicit Document(const QString &path) : writer(path) {}
    double width() const { return painter.viewport().width(); }
    double height() const { return painter.viewport().height(); }
};

std::map<int, std::unique_ptr<Document>> &documents()
{
    static std::map<int, std::unique_ptr<Document>> open;
    return open;
}

Document *find(int handle)
{
    const auto it = documents().find(handle);
    return it == documents().end() ? nullptr : it->second.get();
}

// A block of `height` goes on a new page unless it fits below what is there.
bool room(Document &d, double height)
{
    if (d.y > 0 && d.y + height > d.height()) {
        if (!d.writer.newPage())
            return false;
        d.y = 0;
    }
    return true;
}

int addText(int handle, const char *text, double points, bool bold, bool monospace)
{
    Document *d = find(handle);
    if (!d)
        return kUiBadHandle;
    QFont font = monospace ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont();
    font.setPointSizeF(points);
    font.setBold(bold);
    d->painter.setFont(font);
    const QFontMetricsF metrics(font, &d->writer);
    // Line by line, so that a long text breaks across pages where it must.
    for (const QString &line : rte::ui::fromUtf8(text ? text : "").split(QLatin1Char('\n'))) {
        const QRectF box = metrics.boundingRect(QRectF(0, 0, d->width(), 1e9), Qt::TextWordWrap, line);
        const double height = std::max(box.height(), metrics.lineSpacing());
        if (!room(*d, height))
            return kUiBadArgument;
        d->painter.drawText(QRectF(0, d->y, d->width(), height), Qt::TextWordWrap, line);
        d->y += height;
    }
    d->y += metrics.lineSpacing() * 0.4;
    return 0;
}

}  // namespace

int DefaultPageSize()
{
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? kPageLetter : kPageA4;
}

int NewPdfDocument(const char *path, int pageSize, const char *title)
{
    if (pageSize != kPageA4 && pageSize != kPageLetter)
        return kUiBadArgument;
    static int next = 0;
    auto d = std::make_unique<Document>(rte::ui::fromUtf8(path ? path : ""));
    d->writer.setTitle(rte::ui::fromUtf8(title ? title : ""));
    d->writer.setCreator(QStringLiteral("Vandrel"));
    // The graph draws its fonts as on the screen, at 96 dots to the inch.
    d->writer.setResolution(96);
    d->writer.setPageLayout(QPageLayout(QPageSize(pageSize == kPageA4 ? QPageSize::A4 : QPageSize::Letter),
                                        QPageLayout::Portrait, QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter));
    if (!d->painter.begin(&d->writer))
        return kUiBadArgument;
    documents()[++next] = std::move(d);
    return next;
}

int AddPdfHeading(int document, const char *text) { return addText(document, text, 14, true, false); }

int AddPdfText(int document, const char *text, int monospace)
{
    return addText(document, text, monospace ? 8 : 10, false, monospace != 0);
}

int AddPdfGraph(int document, int panel, int control)
{
    Document *d = find(document);
    if (!d)
        return kUiBadHandle;
    rte::ui::Panel *p = rte::ui::engine().panel(panel);
    auto *graph = p ? dynamic_cast<rte::ui::GraphControl *>(p->control(control)) : nullptr;
    auto *plot = graph ? qobject_cast<QCustomPlot *>(graph->widget()) : nullptr;
    if (!plot)
        return kUiBadHandle;
    // The graph drawn at a size of its own, whatever its window's (hidden,
    // or never shown), then scaled to the page's width.
    const int w = 800, h = 450;
    const double scale = d->width() / w;
    if (!room(*d, h * scale))
        return kUiBadArgument;
    d->painter.save();
    d->painter.translate(0, d->y);
    d->painter.scale(scale, scale);
    d->painter.setMode(QCPPainter::pmVectorized);
    plot->toPainter(&d->painter, w, h);
    d->painter.restore();
    d->y += h * scale + 40;
    return 0;
}

int ClosePdfDocument(int document)
{
    Document *d = find(document);
    if (!d)
        return kUiBadHandle;
    const bool ended = d->painter.end();
    documents().erase(document);
    return ended ? 0 : kUiBadArgument;
}
