#include "rte/ui/alerts.h"

#include "rte/ui/engine.h"
#include "rte/ui/text.h"
#include "rte/userint.h"

#include <QApplication>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cmath>

namespace rte::ui {

AlertRecord &alertRecord()
{
    static AlertRecord record;
    return record;
}

}  // namespace rte::ui

using rte::ui::alertRecord;

namespace {

void sound()
{
    ++alertRecord().sounds;
    QApplication::beep();
}

// Made on first use and owned by the application, so that they end with it.
QTimer &soundTimer()
{
    static QTimer *timer = [] {
        auto *t = new QTimer(qApp);
        QObject::connect(t, &QTimer::timeout, sound);
        return t;
    }();
    return *timer;
}

}  // namespace

int NotifyDesktop(const char *title, const char *message)
{
    rte::ui::engine();
    if (!title || !message)
        return kUiBadArgument;
    const QString heading = rte::ui::fromCp1252(title), text = rte::ui::fromCp1252(message);
    alertRecord().notifications.push_back((heading + QLatin1Char('|') + text).toStdString());
    // Without a tray Qt would only warn on the console; the panels carry the
    // message anyway.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return kUiBadArgument;
    static QSystemTrayIcon *tray = [] {
        auto *icon = new QSystemTrayIcon(qApp);
        const QIcon own = QApplication::windowIcon();
        icon->setIcon(own.isNull() ? QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning) : own);
        return icon;
    }();
    tray->setToolTip(heading);
    tray->show();
    tray->showMessage(heading, text, QSystemTrayIcon::Warning);
    return 0;
}

int StartAlertSound(double period)
{
    rte::ui::engine();
    if (!(period > 0) || !std::isfinite(period) || period > 86400)
        return kUiBadArgument;
    QTimer &timer = soundTimer();
    timer.setInterval(static_cast<int>(std::lround(period * 1000)));
    if (!timer.isActive()) {
        sound();
        timer.start();
    }
    alertRecord().sounding = true;
    return 0;
}

int StopAlertSound()
{
    rte::ui::engine();
    soundTimer().stop();
    alertRecord().sounding = false;
    return 0;
}
