// A front end that shows nothing: the harnesses install it so that the
// readers' messages take their default answers at once instead of being
// printed for every input, and tree nodes cost nothing.
#pragma once

#include "program/port/shell_port.h"

namespace dravik::fuzz {

class QuietPort : public port::ShellPort {
public:
    bool IsUserInterfaceThread() const override { return true; }
    int CallOnUserInterfaceThread(const std::function<int()>& call) override { return call(); }
    void RunMessageDialog(port::MessageDialog& dialog, port::WindowRef owner) override;
    void PlaySoundFile(const std::string&) override {}
    void SetStatusText(int, const std::string&) override {}
    port::TreeHandle InsertTreeItem(const port::TreeItemRequest&) override { return ++lastNode_; }
    void SelectTreeItem(port::TreeHandle) override {}
    void SetCaption(const std::string&) override {}
    void EnableCommand(int, bool) override {}
    void EnableMainMenus(bool) override {}
    void ClearCatalogueViews() override {}
    void ShowResults() override {}
    bool ProgressCreate(bool) override { return true; }
    void ProgressStart() override {}
    void ProgressSetBar(int) override {}
    void ProgressDestroy() override {}

private:
    port::TreeHandle lastNode_ = 0;
};

// Installs one QuietPort for the rest of the process.
void InstallQuietPort();

}  // namespace dravik::fuzz
