#include "program/messages/scan_progress.h"

#include <mutex>

#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/show_message.h"
#include "program/port/shell_port.h"

namespace dravik::messages {

namespace {

constexpr unsigned kCancellingStatusText = 215;
constexpr int kBarTop = 100;

struct ProgressState {
    std::mutex lock;
    bool open = false;
    int counter = -1;
    std::function<void()> cancel;
};
ProgressState& State() {
    static ProgressState state;
    return state;
}

}  // namespace

void ProgressOpen(bool promptsSuppressed) {
    port::ShellPort* port = port::InstalledShellPort();
    if (!port) return;
    port->CallOnUserInterfaceThread([port, promptsSuppressed] {
        ProgressState& state = State();
        {
            std::lock_guard<std::mutex> hold(state.lock);
            if (state.open) return 1;  // at most one dialog at a time
            state.counter = -1;
        }
        bool created = port->ProgressCreate(!promptsSuppressed);
        std::lock_guard<std::mutex> hold(state.lock);
        state.open = created;
        return created ? 1 : 0;
    });
}

void ProgressTick() {
    port::ShellPort* port = port::InstalledShellPort();
    ProgressState& state = State();
    bool first;
    int value;
    {
        std::lock_guard<std::mutex> hold(state.lock);
        if (!port || !state.open) return;
        first = state.counter < 0;
        if (first) state.counter = 0;
        if (++state.counter > kBarTop) state.counter = 0;
        value = state.counter;
    }
    // The dialog's controls are the front end's; it passes these on to its
    // user-interface thread as it does for any control update.
    if (first) port->ProgressStart();
    port->ProgressSetBar(value);
}

void ProgressClose() {
    port::ShellPort* port = port::InstalledShellPort();
    if (!port) return;
    port->CallOnUserInterfaceThread([port] {
        ProgressState& state = State();
        {
            std::lock_guard<std::mutex> hold(state.lock);
            if (!state.open) return 0;
            state.open = false;
        }
        port->ProgressDestroy();
        return 1;
    });
}

bool ProgressIsOpen() {
    std::lock_guard<std::mutex> hold(State().lock);
    return State().open;
}

int ProgressCounter() {
    std::lock_guard<std::mutex> hold(State().lock);
    return State().counter;
}

void SetCancelHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> hold(State().lock);
    State().cancel = std::move(handler);
}

void ProgressCancel() {
    std::function<void()> cancel;
    {
        std::lock_guard<std::mutex> hold(State().lock);
        cancel = State().cancel;
    }
    if (cancel) cancel();
    if (diag::DebugMode) diag::DebugPrint("Cancel requested by user.");
    if (port::ShellPort* port = port::InstalledShellPort())
        port->SetStatusText(0, MessageLanguage().Text(kCancellingStatusText));
}

}  // namespace dravik::messages
