// The Qt front end of the shell port. Every request is carried out on the
// user-interface thread: one made on another thread (the scan thread) is
// handed over as a blocking queued invocation, so the caller waits exactly
// as a sent window message would make it wait, and no widget is ever
// touched from the scan thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "program/port/shell_port.h"

namespace dravik::shell {

class MainWindow;
class ScanProgressDialog;

class QtShellPort : public QObject, public port::ShellPort {
    Q_OBJECT
public:
    // Lives on the user-interface thread (the thread that makes it).
    QtShellPort();
    ~QtShellPort() override;

    // The main window, once it exists; messages before that have no owner.
    void SetMainWindow(MainWindow* window);
    MainWindow* Window() const;
    ScanProgressDialog* Progress() const { return progress_.get(); }

    bool IsUserInterfaceThread() const override;
    int CallOnUserInterfaceThread(const std::function<int()>& call) override;

    void RunMessageDialog(port::MessageDialog& dialog, port::WindowRef owner) override;
    void PlaySoundFile(const std::string& path) override;

    void SetStatusText(int part, const std::string& text) override;
    port::TreeHandle InsertTreeItem(const port::TreeItemRequest& request) override;
    void SelectTreeItem(port::TreeHandle node) override;
    void SetCaption(const std::string& caption) override;
    void EnableCommand(int commandId, bool enabled) override;
    void EnableMainMenus(bool enabled) override;
    void ClearCatalogueViews() override;
    void ShowResults() override;

    bool ProgressCreate(bool showBar) override;
    void ProgressStart() override;
    void ProgressSetBar(int value) override;
    void ProgressDestroy() override;

    // Plays sound files; the default starts a desktop sound player
    // detached. Tests replace it.
    using SoundPlayer = std::function<void(const std::string& path)>;
    void SetSoundPlayer(SoundPlayer player) { soundPlayer_ = std::move(player); }

private:
    // Runs `work` here, or hands it over and waits.
    void OnUserInterfaceThread(const std::function<void()>& work);

    QPointer<MainWindow> window_;
    std::unique_ptr<ScanProgressDialog> progress_;
    SoundPlayer soundPlayer_;
};


}  // namespace dravik::shell
