#include "rte/ui/engine.h"

#include "rte/ui/panel.h"
#include "rte/ui/style.h"
#include "rte/utility.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <QDBusConnection>
#endif

#include <cstdio>
#include <cstdlib>

namespace rte::ui {
namespace {

Engine *g_engine = nullptr;

[[noreturn]] void startUpFault(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::exit(3);
}

// Standard error always; a message box only where someone can see it.
void tellAtStart(const QString &title, const QString &message, QMessageBox::Icon icon)
{
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    QMessageBox box(icon, title, message, QMessageBox::Ok);
    box.exec();
}

}  // namespace

QString programDir()
{
    char dir[4096];
    if (GetProjectDir(dir) == 0)
        return QString::fromUtf8(dir);  // the engine's paths are UTF-8 (Windows' code page is not)
    return QCoreApplication::applicationDirPath();
}

Engine &engine()
{
    if (!g_engine)
        startUpFault("The user interface is used before StartUserInterface.");
    return *g_engine;
}

Engine *Engine::instance() { return g_engine; }

void Engine::start(int &argc, char **argv, std::initializer_list<CallbackBinding> callbacks, PortLister listPorts)
{
    if (g_engine)
        startUpFault("StartUserInterface is called twice.");
    g_engine = new Engine(argc, argv, callbacks, listPorts);
}

Engine::Engine(int &argc, char **argv, std::initializer_list<CallbackBinding> callbacks, PortLister listPorts)
    : app_(std::make_unique<QApplication>(argc, argv)), listPorts_(listPorts)
{
#ifdef Q_OS_UNIX
    // Qt's accessibility bridge on X11 connects to the session bus when the
    // first panel gets its first accessible name, and the panel waits for
    // the connection: some milliseconds on a desktop, and with no session
    // bus (a bare X server) D-Bus starts one first, which takes tens.  Begun
    // here on a worker, the connection is made while the panels are built.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        QThreadPool::globalInstance()->start([] { QDBusConnection::sessionBus(); });
#endif
    // Panels decide themselves what a close request means; the program ends
    // only through ExitProgram.
    QApplication::setQuitOnLastWindowClosed(false);
    // Menus stay in their panel, as on Windows: a desktop's global menu bar
    // would take them elsewhere, and asking the session bus whether there
    // is one is a round trip before the first paint.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QApplication::setStyle(new Style);
    for (const CallbackBinding &b : callbacks) {
        if (!b.name || (!b.control && !b.panel && !b.menu))
            startUpFault("The callback table holds an entry without a name or a routine.");
        if (!callbacks_.emplace(QString::fromLatin1(b.name), b).second)
            startUpFault("The callback table names a routine twice.");
    }
}

Engine::~Engine() = default;

const CallbackBinding *Engine::binding(const QString &name) const
{
    const auto it = callbacks_.find(name);
    return it == callbacks_.end() ? nullptr : &it->second;
}

CtrlCallbackPtr Engine::controlCallback(const QString &name) const
{
    const CallbackBinding *b = binding(name);
    return b ? b->control : nullptr;
}

PanelCallbackPtr Engine::panelCallback(const QString &name) const
{
    const CallbackBinding *b = binding(name);
    return b ? b->panel : nullptr;
}

MenuCallbackPtr Engine::menuCallback(const QString &name) const
{
    const CallbackBinding *b = binding(name);
    return b ? b->menu : nullptr;
}

int Engine::loadPanel(const char *file, int resource)
{
    if (!file || !*file)
        fatal(QStringLiteral("(no name)"), QStringLiteral("no panel file is named"));
    QString path = QString::fromUtf8(file);
    if (!path.contains(QLatin1Char('/')) && !path.contains(QDir::separator()))
        path = programDir() + QLatin1Char('/') + path;
    path = QDir::toNativeSeparators(QDir::cleanPath(path));

    auto loaded = files_.find(path);
    if (loaded == files_.end()) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            fatal(path, QStringLiteral("cannot be read: %1").arg(f.errorString()));
        QString fault;
        auto panels = parsePanelFile(
            f.readAll(),
            [this](const QString &name, CallbackShape shape) {
                const CallbackBinding *b = binding(name);
                return b && (shape == CallbackShape::Control ? b->control != nullptr
                             : shape == CallbackShape::Panel ? b->panel != nullptr
                                                             : b->menu != nullptr);
            },
            fault);
        if (!panels)
            fatal(path, fault);
        loaded = files_.emplace(path, std::move(*panels)).first;
    }
    for (const PanelSpec &desc : loaded->second) {
        if (desc.resource != resource)
            continue;
        const int handle = nextPanel_++;
        const int barHandle = desc.menus.empty() ? 0 : nextMenuBar_++;
        auto panel = std::make_unique<Panel>(handle, barHandle, desc);
        if (panel->menuBar())
            menuBars_[barHandle] = panel->menuBar();
        panels_[handle] = std::move(panel);
        return handle;
    }
    fatal(path, QStringLiteral("holds no panel with resource number %1").arg(resource));
}

Panel *Engine::panel(int handle, bool made) const
{
    const auto it = panels_.find(handle);
    if (it == panels_.end())
        return nullptr;
    if (made)
        it->second->build();
    return it->second.get();
}

MenuBar *Engine::menuBar(int handle) const
{
    const auto it = menuBars_.find(handle);
    if (it == menuBars_.end())
        return nullptr;
    panel(it->second->panel());  // its items are made with the panel's controls
    return it->second;
}

void Engine::deliver(Busy whenBusy, std::function<void()> callback)
{
    if (busy()) {
        if (whenBusy == Busy::Defer)
            deferred_.push_back(std::move(callback));
        return;
    }
    ++running_;
    callback();
    --running_;
    afterCallbacks();
}

void Engine::afterCallbacks()
{
    while (!busy() && !deferred_.empty()) {
        std::function<void()> next = std::move(deferred_.front());
        deferred_.pop_front();
        ++running_;
        next();
        --running_;
    }
    if (exitRequested_ && !busy())
        QCoreApplication::exit(exitStatus_);
}

Engine::ModalScope::ModalScope() { ++engine().modal_; }

Engine::ModalScope::~ModalScope()
{
    Engine &e = engine();
    --e.modal_;
    // Commits that waited for the popup run once the popup's own loop is
    // left; a callback that opened it runs them when it returns.
    if (!e.busy())
        QTimer::singleShot(0, e.app_.get(), [] {
            if (Engine *e = Engine::instance())
                e->afterCallbacks();
        });
}

void Engine::requestExit(int status)
{
    exitRequested_ = true;
    exitStatus_ = status;
    if (!busy())
        QCoreApplication::exit(status);
}

void Engine::comeForward()
{
    while (AnswerClaimRequest() == 1) {
    }
    // The first panel shown is the program's window.
    for (const auto &[handle, panel] : panels_) {
        QWidget *window = panel->window();
        if (!window || !window->isVisible())
            continue;
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
        return;
    }
}

void Engine::run()
{
    // Another start of the program for the same settings folder asks this
    // copy, which holds it, to come forward.
    if (const int requests = ClaimRequests(); requests >= 0 && !claimRequests_) {
        claimRequests_ = std::make_unique<QSocketNotifier>(requests, QSocketNotifier::Read);
        QObject::connect(claimRequests_.get(), &QSocketNotifier::activated, [this] { comeForward(); });
    }
    while (!exitRequested_)
        QApplication::exec();
    end(exitStatus_);
}

void Engine::fatal(const QString &file, const QString &fault)
{
    tellAtStart(QCoreApplication::applicationName(), QStringLiteral("Panel file %1: %2").arg(file, fault),
                QMessageBox::Critical);
    end(3);
}

void Engine::end(int status)
{
    claimRequests_.reset();
    panels_.clear();
    menuBars_.clear();
    deferred_.clear();
    app_.reset();
    g_engine = nullptr;
    delete this;
    std::exit(status);
}

}  // namespace rte::ui

void StartUpMessage(const char *title, const char *message)
{
    rte::ui::engine();
    rte::ui::tellAtStart(QString::fromUtf8(title), QString::fromUtf8(message), QMessageBox::Information);
}

int StartProgramCopy(const char *const *arguments, int count)
{
    rte::ui::engine();
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QString::fromUtf8(arguments[i]);
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), list) ? 0 : -1;
}
