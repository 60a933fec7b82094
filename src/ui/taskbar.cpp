#include "ui/taskbar.h"

#include <atomic>

#include "app/handles.h"
#include "ui/main_window.h"

namespace {

class ShellTaskbar final : public TaskbarSink {
public:
    explicit ShellTaskbar(ComPtr<ITaskbarList3> list) : list_(std::move(list)) {}
    void setState(HWND hwnd, TBPFLAG state) override { list_->SetProgressState(hwnd, state); }
    void setValue(HWND hwnd, ULONGLONG completed, ULONGLONG total) override {
        list_->SetProgressValue(hwnd, completed, total);
    }

private:
    ComPtr<ITaskbarList3> list_;
};

std::unique_ptr<TaskbarSink> makeShellTaskbar() {
    ComPtr<ITaskbarList3> list;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskbarList3),
                                list.outVoid())) ||
        !list || FAILED(list->HrInit()))
        return nullptr;
    return std::make_unique<ShellTaskbar>(std::move(list));
}

std::atomic<TaskbarSinkFactory> sinkFactory{&makeShellTaskbar};

}  // namespace

TaskbarProgress taskbarProgressFor(InstallerState state, int shownPerMille) {
    if (state == Installing) return {TBPF_NORMAL, shownPerMille};
    if (state == Failed) return {TBPF_ERROR, 1000};
    return {};
}

void setTaskbarSinkFactory(TaskbarSinkFactory factory) { sinkFactory = factory ? factory : &makeShellTaskbar; }

std::unique_ptr<TaskbarSink> makeTaskbarSink() { return sinkFactory.load()(); }

void TaskbarButton::show(const TaskbarProgress& progress) {
    if (progress == shown_) return;
    if (progress.state != shown_.state) sink_->setState(hwnd_, progress.state);
    if (progress.state != TBPF_NOPROGRESS) sink_->setValue(hwnd_, static_cast<ULONGLONG>(progress.perMille), 1000);
    shown_ = progress;
}
