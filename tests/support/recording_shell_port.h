// A front end for tests: it runs its own "user-interface" thread with a
// queue of calls, records everything the program asks of it, and answers
// message dialogs from a script. Header-only so that only tests that use it
// link the shell port. Link dravik_port.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "program/port/shell_port.h"

namespace dravik::test {

// A steady clock that moves only when told.
class FakeClock {
public:
    std::chrono::steady_clock::time_point Now() const {
        return std::chrono::steady_clock::time_point{} + std::chrono::seconds(1000) +
               std::chrono::milliseconds(elapsedMs_.load());
    }
    void Advance(std::chrono::milliseconds by) { elapsedMs_ += by.count(); }
    port::SteadyClock AsClock() {
        return [this] { return Now(); };
    }

private:
    std::atomic<long long> elapsedMs_{0};
};

struct RecordedDialog {
    std::string caption;
    std::string text;
    unsigned flags = 0;
    unsigned kind = 0;
    std::vector<port::DialogButton> buttons;
    int defaultButton = 0;
    port::MessageIcon icon = port::MessageIcon::Exclamation;
    port::WindowRef owner = nullptr;
    bool onUserInterfaceThread = false;
    int result = 0;
};

// How the scripted user answers the next dialog.
struct DialogAnswer {
    enum class Action { Press, Close, WaitForAutoAnswer, Ignore };
    Action action = Action::Press;
    int button = 0;  // Press: the button id; 0 = the default button
    static DialogAnswer PressButton(int id) { return {Action::Press, id}; }
    static DialogAnswer CloseBox() { return {Action::Close, 0}; }
    // Lets the fake clock run in one-second steps, polling the dialog as a
    // front end's timer would, until it answers itself (at most 60 s).
    static DialogAnswer Wait() { return {Action::WaitForAutoAnswer, 0}; }
    // Returns without any answer.
    static DialogAnswer NoAnswer() { return {Action::Ignore, 0}; }
};

class RecordingShellPort : public port::ShellPort {
public:
    explicit RecordingShellPort(FakeClock* clock = nullptr) : clock_(clock) {
        ui_ = std::thread([this] { RunQueue(); });
        uiId_ = ui_.get_id();
    }
    ~RecordingShellPort() override {
        {
            std::lock_guard<std::mutex> hold(queueLock_);
            stopping_ = true;
        }
        queueReady_.notify_all();
        ui_.join();
    }

    // Runs `call` on the user-interface thread and waits (for test bodies).
    int RunOnUserInterfaceThread(const std::function<int()>& call) { return CallOnUserInterfaceThread(call); }
    std::thread::id UserInterfaceThreadId() const { return uiId_; }

    void ScriptAnswers(std::vector<DialogAnswer> answers) {
        std::lock_guard<std::mutex> hold(recordLock_);
        for (auto& a : answers) script_.push_back(a);
    }
    // Called while a dialog is shown, on the user-interface thread.
    void OnDialogShown(std::function<void(const port::MessageDialog&)> hook) {
        std::lock_guard<std::mutex> hold(recordLock_);
        onShown_ = std::move(hook);
    }

    // What was recorded.
    std::vector<RecordedDialog> Dialogs() const { return Copy(dialogs_); }
    std::vector<std::string> Sounds() const { return Copy(sounds_); }
    std::vector<std::string> StatusTexts() const { return Copy(status_); }
    std::vector<int> BarValues() const { return Copy(bars_); }
    // Texts of the tree nodes inserted, and their catalogue items, in order.
    std::vector<std::string> TreeTexts() const { return Copy(tree_); }
    std::vector<const void*> TreeItems() const { return Copy(treeItems_); }
    // Each EnableMainMenus call's argument, in order.
    std::vector<bool> MenuSwitches() const { return Copy(menus_); }
    int ViewsCleared() const { return Read(viewsCleared_); }
    int ProgressCreated() const { return Read(created_); }
    int ProgressStarted() const { return Read(started_); }
    int ProgressDestroyed() const { return Read(destroyed_); }
    bool ProgressBarShown() const { return Read(barShown_); }

    // port::ShellPort
    bool IsUserInterfaceThread() const override { return std::this_thread::get_id() == uiId_; }

    int CallOnUserInterfaceThread(const std::function<int()>& call) override {
        if (IsUserInterfaceThread()) return call();
        std::packaged_task<int()> task(call);
        std::future<int> result = task.get_future();
        {
            std::lock_guard<std::mutex> hold(queueLock_);
            queue_.push_back(std::move(task));
        }
        queueReady_.notify_one();
        return result.get();
    }

    void RunMessageDialog(port::MessageDialog& dialog, port::WindowRef owner) override {
        DialogAnswer answer{DialogAnswer::Action::Press, 0};
        std::function<void(const port::MessageDialog&)> hook;
        {
            std::lock_guard<std::mutex> hold(recordLock_);
            if (!script_.empty()) {
                answer = script_.front();
                script_.pop_front();
            }
            hook = onShown_;
        }
        if (hook) hook(dialog);
        switch (answer.action) {
            case DialogAnswer::Action::Press:
                dialog.Press(answer.button ? answer.button : dialog.DefaultButton());
                break;
            case DialogAnswer::Action::Close:
                dialog.Close();
                break;
            case DialogAnswer::Action::WaitForAutoAnswer:
                for (int second = 0; second < 60 && clock_ && !dialog.CheckAutoAnswer(); ++second)
                    clock_->Advance(std::chrono::seconds(1));
                break;
            case DialogAnswer::Action::Ignore:
                break;
        }
        RecordedDialog record{dialog.Caption(), dialog.Text(),    dialog.Flags(),         dialog.Kind(),
                              dialog.Buttons(), dialog.DefaultButton(), dialog.Icon(), owner,
                              IsUserInterfaceThread(), dialog.Result()};
        std::lock_guard<std::mutex> hold(recordLock_);
        dialogs_.push_back(std::move(record));
    }

    void PlaySoundFile(const std::string& path) override { Add(sounds_, path); }
    void SetStatusText(int, const std::string& text) override { Add(status_, text); }
    port::TreeHandle InsertTreeItem(const port::TreeItemRequest& request) override {
        std::lock_guard<std::mutex> hold(recordLock_);
        tree_.push_back(request.text);
        treeItems_.push_back(request.item);
        return ++treeHandles_;
    }
    void SelectTreeItem(port::TreeHandle) override {}
    void SetCaption(const std::string&) override {}
    void EnableCommand(int, bool) override {}
    void EnableMainMenus(bool enabled) override { Add(menus_, enabled); }
    void ClearCatalogueViews() override {
        std::lock_guard<std::mutex> hold(recordLock_);
        ++viewsCleared_;
    }
    void ShowResults() override {}

    bool ProgressCreate(bool showBar) override {
        std::lock_guard<std::mutex> hold(recordLock_);
        ++created_;
        barShown_ = showBar;
        return true;
    }
    void ProgressStart() override {
        std::lock_guard<std::mutex> hold(recordLock_);
        ++started_;
    }
    void ProgressSetBar(int value) override { Add(bars_, value); }
    void ProgressDestroy() override {
        std::lock_guard<std::mutex> hold(recordLock_);
        ++destroyed_;
    }

private:
    void RunQueue() {
        for (;;) {
            std::packaged_task<int()> task;
            {
                std::unique_lock<std::mutex> hold(queueLock_);
                queueReady_.wait(hold, [this] { return stopping_ || !queue_.empty(); });
                if (queue_.empty()) return;
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            task();
        }
    }
    template <typename T>
    T Copy(const T& value) const {
        std::lock_guard<std::mutex> hold(recordLock_);
        return value;
    }
    template <typename T>
    T Read(const T& value) const {
        std::lock_guard<std::mutex> hold(recordLock_);
        return value;
    }
    template <typename T, typename V>
    void Add(std::vector<T>& list, V value) {
        std::lock_guard<std::mutex> hold(recordLock_);
        list.push_back(std::move(value));
    }

    FakeClock* clock_;
    std::thread ui_;
    std::thread::id uiId_;
    std::mutex queueLock_;
    std::condition_variable queueReady_;
    std::deque<std::packaged_task<int()>> queue_;
    bool stopping_ = false;

    mutable std::mutex recordLock_;
    std::deque<DialogAnswer> script_;
    std::function<void(const port::MessageDialog&)> onShown_;
    std::vector<RecordedDialog> dialogs_;
    std::vector<std::string> sounds_;
    std::vector<std::string> status_;
    std::vector<int> bars_;
    std::vector<std::string> tree_;
    std::vector<const void*> treeItems_;
    std::vector<bool> menus_;
    int viewsCleared_ = 0;
    int created_ = 0, started_ = 0, destroyed_ = 0;
    bool barShown_ = false;
    std::atomic<port::TreeHandle> treeHandles_{0};
};

}  // namespace dravik::test
