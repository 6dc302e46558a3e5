// The look of every panel: Qt's Fusion on every system, the same on Linux
// and Windows.
#pragma once

#include <QProxyStyle>

namespace rte::ui {

class Style final : public QProxyStyle {
public:
    Style();
    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option, const QWidget *widget) const override;
};

}  // namespace rte::ui
