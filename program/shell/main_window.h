// The main window: menu bar (language-module menu 164), accelerators
// ("ACCEL"), toolbar, status bar, the tree and list views, command
// dispatch and close handling.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "program/port/shell_port.h"
#include "program/app/menu_resource.h"

class QAbstractItemView;
class QAction;
class QActionGroup;
class QMenu;
class QToolBar;
class QTreeView;

namespace dravik::settings {
struct Settings;
}

namespace dravik::shell {

class CatalogueViews;
class CopyCommand;
class StatusBarParts;

// The menus and accelerators the window is built from.
struct WindowResources {
    std::vector<app::MenuEntry> mainMenu;     // 164
    std::vector<app::MenuEntry> popupMenus;   // 165
    std::vector<app::Accelerator> accelerators;
};
// Reads them from the language module; false with `error` when one is
// missing or malformed.
bool LoadWindowResources(WindowResources& resources, std::string& error);

// True when an option that changes how a disc is read differs.
bool ReadingOptionsChanged(const settings::Settings& before, const settings::Settings& after);

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kToolbarButtons = 8;

    explicit MainWindow(const WindowResources& resources, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Carries out a command of the command table: menu help first, then
    // the command; afterwards a pending close request closes the window.
    void Command(int id);

    // The status bar.
    StatusBarParts* Status() const { return status_; }
    void SetStatusPart(int part, const QString& text);
    // Part 3 with the selected device (or string 169), and the icons.
    void ShowDeviceStatus();
    // After a drive is chosen: the commands that need one.
    void UpdateDeviceControls();
    // The File menu's "Recent Images" from the user's settings.
    void UpdateRecentImages();
    QMenu* RecentImagesMenu() const { return recentMenu_; }
    // Serves the image at `path` as a drive, makes it the drive in use and
    // scans it (Open Disc Image after the file dialog).
    void OpenImageAt(const QString& path);
    // Menu help for a hovered menu entry.
    void MenuHelp(QAction* action);

    // Views.
    port::TreeHandle InsertTreeItem(const port::TreeItemRequest& request);
    void SelectTreeItem(port::TreeHandle node);
    void ClearViews();
    CatalogueViews* Views() const { return views_; }
    QTreeView* Tree() const;
    // The list view of the current style.
    QAbstractItemView* List() const;
    void SetListStyle(int index);
    int ListStyle() const;
    // The views' popup menus (40010 for the list, 99 for the tree).
    QMenu* ListPopup() const { return listPopup_; }
    QMenu* TreePopup() const { return treePopup_; }

    // Enables or grays the first three top-level menus.
    void SwitchMainMenus(bool enabled);
    // Menu entries and the toolbar button of a command.
    void EnableCommand(int id, bool enabled);
    void ShowResults();

    // The copy commands (40020, 40010, 99) and the copy they run.
    CopyCommand* Copier() const { return copier_; }

    // Called when a scan has ended (the menus come back): a stopped scan
    // says its result is incomplete; a quit asked for during the scan
    // closes the window now.
    void ScanEnded();

    void SetBusyCursor(bool on);
    bool BusyCursor() const { return busy_; }

    // For tests: the actions of a command (menu entries, accelerators) and
    // the toolbar's button actions in their order (separators included).
    QList<QAction*> CommandActions(int id) const;
    QAction* ToolbarAction(int id) const;
    QToolBar* Toolbar() const { return toolbar_; }
    QList<QMenu*> TopMenus() const { return topMenus_; }

signals:
    // Emitted once per command carried out, before the command runs.
    void commandIssued(int id);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QMenu* BuildMenu(const app::MenuEntry& popup, QWidget* parent, bool owned);
    QAction* CommandAction(int id, const QString& text, QObject* owner);
    void BuildRecentMenu();
    void BuildAccelerators(const std::vector<app::Accelerator>& accelerators);
    void BuildToolbar(const std::vector<app::MenuEntry>& popupMenus);
    void BuildViews();
    void CheckStyleEntries(int index);
    bool CommandAllowedDuringScan(int id) const;
    // Closing during a scan: asks "Stop the scan and quit?"; true to quit.
    bool AskStopScanAndQuit();
    void RunCommandTable(int id);
    void Rescan();
    void SelectDriveAndScan();
    void OpenDiscImage();
    void ShowOptions();
    void ShowHelp();
    void ShowAbout();
    void OpenUpdatePage();

    QHash<int, QList<QAction*>> actions_;
    QHash<int, QAction*> toolbarActions_;
    QList<QMenu*> topMenus_;
    std::set<int> scanLockedCommands_;
    std::vector<QActionGroup*> styleGroups_;
    QToolBar* toolbar_ = nullptr;
    StatusBarParts* status_ = nullptr;
    CatalogueViews* views_ = nullptr;
    QMenu* listPopup_ = nullptr;
    QMenu* treePopup_ = nullptr;
    CopyCommand* copier_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    bool busy_ = false;
    // The user chose to quit while a scan ran: the window closes when the
    // scan has stopped.
    bool quitAfterScan_ = false;
};

}  // namespace dravik::shell
