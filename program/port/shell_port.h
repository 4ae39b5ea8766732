// The shell port: the one interface through which the program's helpers
// (ShowMessage's dialog, ShowStatus, InsertTreeItem, SelectTreeItem, the
// progress dialog, the caption, menu and toolbar enabling, the results
// window) reach whichever front end is installed: the Qt shell, the CLI, or
// a recorder in the tests. The scan code never includes a widget toolkit.
//
// Threads: everything except CallOnUserInterfaceThread is called on the
// user-interface thread only. A worker hands work over with
// CallOnUserInterfaceThread, which blocks until the user-interface thread
// has run it and returns its result (a sent window message, or a blocking
// queued invocation in Qt).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "program/port/message_dialog.h"

namespace dravik::port {

// A front end's window, for dialogs owned by another dialog; null is the
// main window.
using WindowRef = void*;
// A front end's handle of a tree node; 0 is none.
using TreeHandle = std::uintptr_t;

struct TreeItemRequest {
    const void* item = nullptr;  // the catalogue item, handed back on selection
    TreeHandle parent = 0;       // 0: a root of the tree
    std::string text;
    int image = 0;
    int selectedImage = 1;
    bool hasChildren = false;
};

class ShellPort {
public:
    virtual ~ShellPort() = default;

    // Threads.
    virtual bool IsUserInterfaceThread() const = 0;
    // Runs `call` on the user-interface thread and waits for its result.
    // Called on that thread, it runs `call` directly.
    virtual int CallOnUserInterfaceThread(const std::function<int()>& call) = 0;

    // Shows the dialog owned by `owner` and returns when the user (or the
    // auto-answer, see MessageDialog::CheckAutoAnswer) has answered it. A
    // front end that returns without an answer counts as the close box.
    virtual void RunMessageDialog(MessageDialog& dialog, WindowRef owner) = 0;
    // Starts playing a sound file without waiting for it.
    virtual void PlaySoundFile(const std::string& path) = 0;

    // Status bar part `part` (0: the text part).
    virtual void SetStatusText(int part, const std::string& text) = 0;
    // Appends a node under request.parent; returns its handle (0: failed).
    virtual TreeHandle InsertTreeItem(const TreeItemRequest& request) = 0;
    virtual void SelectTreeItem(TreeHandle node) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Menu entry and toolbar button of a command.
    virtual void EnableCommand(int commandId, bool enabled) = 0;
    // The main window's first three menus, grayed while a scan runs.
    virtual void EnableMainMenus(bool enabled) = 0;
    // Deletes every node of the tree and empties the file list (a new scan
    // starts).
    virtual void ClearCatalogueViews() = 0;
    virtual void ShowResults() = 0;

    // Scan progress. Create makes the (hidden) dialog, with the busy bar
    // only when `showBar`; Start shows it and starts the animation; SetBar
    // moves the busy bar (0-100); Destroy closes it. Cancel in the dialog
    // calls ProgressCancel() of the messages layer.
    virtual bool ProgressCreate(bool showBar) = 0;
    virtual void ProgressStart() = 0;
    virtual void ProgressSetBar(int value) = 0;
    virtual void ProgressDestroy() = 0;
};

// The installed front end; null before one is installed. The front end
// outlives every call through it (install at start, remove at shutdown).
void InstallShellPort(ShellPort* port);
ShellPort* InstalledShellPort();

}  // namespace dravik::port
