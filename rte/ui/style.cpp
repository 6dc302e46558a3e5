#include "rte/ui/style.h"

#include <QIconEngine>
#include <QPainter>
#include <QPointer>

#include <optional>

namespace rte::ui {
namespace {

// An icon that the style makes when it is first drawn or measured.
class IconOnDemand final : public QIconEngine {
public:
    IconOnDemand(const QProxyStyle *style, QStyle::StandardPixmap which) : style_(style), which_(which) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    // Asked before anything is drawn; the style has this icon.
    bool isNull() override { return false; }
    QIconEngine *clone() const override { return new IconOnDemand(*this); }

private:
    QIcon icon()
    {
        if (!made_)
            made_ = style_ ? style_->baseStyle()->standardIcon(which_) : QIcon();
        return *made_;
    }

    QPointer<const QProxyStyle> style_;
    QStyle::StandardPixmap which_;
    std::optional<QIcon> made_;
};

}  // namespace

Style::Style() : QProxyStyle(QStringLiteral("Fusion")) {}

QIcon Style::standardIcon(StandardPixmap icon, const QStyleOption *option, const QWidget *widget) const
{
    // Every menu bar makes the button that shows when its menus do not fit,
    // which is seldom; reading that button's image from the style's files
    // looks through the image format plugins first, some 3 ms on the way
    // to the first paint.
    if (icon == SP_ToolBarHorizontalExtensionButton)
        return QIcon(new IconOnDemand(this, icon));
    return QProxyStyle::standardIcon(icon, option, widget);
}

}  // namespace rte::ui
