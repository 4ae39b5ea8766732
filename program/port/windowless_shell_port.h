// A front end without windows: the status line, the tree, the menus and the
// progress dialog have nothing to show, so those calls do nothing (tree nodes
// are only numbered). Front ends that have no window (the command-line
// program, the fuzz harnesses) derive from it and decide only how threads
// and message dialogs are served.
#pragma once

#include "program/port/shell_port.h"

namespace dravik::port {

class WindowlessShellPort : public ShellPort {
public:
    void PlaySoundFile(const std::string&) override {}
    void SetStatusText(int, const std::string&) override {}
    TreeHandle InsertTreeItem(const TreeItemRequest&) override { return ++lastTreeHandle_; }
    void SelectTreeItem(TreeHandle) override {}
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
    TreeHandle lastTreeHandle_ = 0;
};

}  // namespace dravik::port
