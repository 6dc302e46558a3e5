// A panel: a top-level window built from its description in the panel file,
// with its controls and its menu bar.
#pragma once

#include "rte/ui/panel_file.h"
#include "rte/userint.h"

#include <map>
#include <memory>

class QAction;
class QWidget;

namespace rte::ui {

class Control;

class MenuBar {
public:
    MenuBar(int handle, int panel) : handle_(handle), panel_(panel) {}
    int handle() const { return handle_; }
    // Makes the controls, once: the engine asks for them when the panel is
    // first used, not when it is loaded, so that a panel the program loads
    // but does not show yet costs nothing on the way to the first paint.
    void build();
    int panel() const { return panel_; }
    QAction *item(int id) const;
    void add(int id, QAction *action) { items_[id] = action; }

private:
    int handle_, panel_;
    std::map<int, QAction *> items_;
};

class Panel {
public:
    // menuBarHandle is used when the panel has a menu bar.
    Panel(int handle, int menuBarHandle, const PanelSpec &desc);
    ~Panel();
    Panel(const Panel &) = delete;
    Panel &operator=(const Panel &) = delete;

    int handle() const { return handle_; }
    // Makes the controls, once: the engine asks for them when the panel is
    // first used, not when it is loaded, so that a panel the program loads
    // but does not show yet costs nothing on the way to the first paint.
    void build();
    QWidget *window() const;
    MenuBar *menuBar() const { return menuBar_.get(); }
    Control *control(int number) const;

    void display();
    void hide();
    // Takes what the operator typed into the panel's entries and has not yet
    // confirmed: the operator's controls act on the values the panel shows.
    // Menu items do not: "Restore settings" is how the operator drops typed
    // values.
    void settle();
    // The operator asked to close the window.
    void closeRequested();

private:
    class Window;
    void buildControls(const PanelSpec &desc);
    void buildMenuBar(const PanelSpec &desc);
    void fitToScreen();

    int handle_;
    PanelCallbackPtr callback_;
    std::unique_ptr<Window> window_;
    std::unique_ptr<MenuBar> menuBar_;
    std::map<int, std::unique_ptr<Control>> controls_;
    bool shownBefore_ = false;
    const PanelSpec *unbuilt_;  // the panel file's description until built
};

}  // namespace rte::ui
