// The engine behind userint.h: the application object, the program's
// callback table, the loaded panels and the one place where callbacks run.
#pragma once

#include "rte/ui/panel_file.h"
#include "rte/userint.h"

#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QApplication;
class QSocketNotifier;

namespace rte::ui {

class Panel;
class MenuBar;

// A serial device as the port list control shows it: the number that
// reaches it (0: none), its path (UTF-8) and whether the device is there.
struct ListedPort {
    int port;
    std::string path;
    bool present;
};
// Where the port list control finds the devices: the serial service, handed
// over by whoever starts the engine; none without one.
using PortLister = std::vector<ListedPort> (*)();

class Engine {
public:
    // nullptr before StartUserInterface.
    static Engine *instance();
    static void start(int &argc, char **argv, std::initializer_list<CallbackBinding> callbacks,
                      PortLister listPorts);

    int loadPanel(const char *file, int resource);
    // Its controls are made on the first call that asks for the panel, unless
    // the caller needs only its window (the title).
    Panel *panel(int handle, bool made = true) const;
    MenuBar *menuBar(int handle) const;
    std::vector<ListedPort> listPorts() const { return listPorts_ ? listPorts_() : std::vector<ListedPort>{}; }

    CtrlCallbackPtr controlCallback(const QString &name) const;
    PanelCallbackPtr panelCallback(const QString &name) const;
    MenuCallbackPtr menuCallback(const QString &name) const;

    // Runs one of the program's callbacks.  Callbacks never nest: one that
    // falls due while another runs or a popup is open is dropped when it is
    // a timer tick and run afterwards otherwise.
    enum class Busy { Drop, Defer };
    void deliver(Busy whenBusy, std::function<void()> callback);
    // Held by every popup while it is open.
    class ModalScope {
    public:
        ModalScope();
        ~ModalScope();
        ModalScope(const ModalScope &) = delete;
        ModalScope &operator=(const ModalScope &) = delete;
    };

    void requestExit(int status);
    [[noreturn]] void run();
    // Start-up faults: reports them and ends the process with status 3.
    [[noreturn]] void fatal(const QString &file, const QString &fault);

private:
    Engine(int &argc, char **argv, std::initializer_list<CallbackBinding> callbacks, PortLister listPorts);
    ~Engine();
    const CallbackBinding *binding(const QString &name) const;
    bool busy() const { return running_ > 0 || modal_ > 0; }
    void afterCallbacks();
    [[noreturn]] void end(int status);
    void comeForward();

    std::unique_ptr<QApplication> app_;
    std::unique_ptr<QSocketNotifier> claimRequests_;
    std::map<QString, CallbackBinding> callbacks_;
    PortLister listPorts_;
    std::map<QString, std::vector<PanelSpec>> files_;
    std::map<int, std::unique_ptr<Panel>> panels_;
    std::map<int, MenuBar *> menuBars_;  // owned by their panels
    int nextPanel_ = 1, nextMenuBar_ = 1;
    int running_ = 0, modal_ = 0;
    std::deque<std::function<void()>> deferred_;
    bool exitRequested_ = false;
    int exitStatus_ = 0;
};

// The directory of the running program, where bare file names are found.
QString programDir();

// The engine, or a loud end of the process when the program uses the user
// interface before starting it.
Engine &engine();

}  // namespace rte::ui
