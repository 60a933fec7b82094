// The copy's progress on the installer's taskbar button (ITaskbarList3).
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <cstdint>
#include <memory>

enum InstallerState : std::int32_t;  // ui/main_window.h

struct TaskbarProgress {
    TBPFLAG state = TBPF_NOPROGRESS;
    int perMille = 0;  // 0..1000, shown unless the state is TBPF_NOPROGRESS
    bool operator==(const TaskbarProgress& other) const {
        return state == other.state && perMille == other.perMille;
    }
};

// What the taskbar button shows in a state: the bar's per-mille while the copy runs, a full
// error bar after a failure (until the next action changes the state), nothing otherwise.
TaskbarProgress taskbarProgressFor(InstallerState state, int shownPerMille);

// The two calls the installer makes on its taskbar button. The product's sink is the shell's
// ITaskbarList3; tests install a factory whose sink records the calls (Wine's taskbar shows none).
class TaskbarSink {
public:
    virtual ~TaskbarSink() = default;
    virtual void setState(HWND hwnd, TBPFLAG state) = 0;
    virtual void setValue(HWND hwnd, ULONGLONG completed, ULONGLONG total) = 0;
};
using TaskbarSinkFactory = std::unique_ptr<TaskbarSink> (*)();
void setTaskbarSinkFactory(TaskbarSinkFactory factory);  // nullptr restores the shell's
// A sink for the taskbar button, or null where the shell has no taskbar interface.
std::unique_ptr<TaskbarSink> makeTaskbarSink();

// One window's taskbar button: passes a progress on only when it differs from what it shows.
class TaskbarButton {
public:
    TaskbarButton(HWND hwnd, std::unique_ptr<TaskbarSink> sink) : hwnd_(hwnd), sink_(std::move(sink)) {}
    void show(const TaskbarProgress& progress);

private:
    HWND hwnd_;
    std::unique_ptr<TaskbarSink> sink_;
    TaskbarProgress shown_;  // a new button shows nothing
};
