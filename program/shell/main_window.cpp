#include "program/shell/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTimer>
#include <QTreeView>
#include <exception>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/shell/language_text.h"
#include "program/messages/show_message.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/scan_device.h"
#include "program/scan/scan_state.h"
#include "program/settings/settings.h"
#include "program/shell/advice_dialog.h"
#include "program/shell/catalogue_views.h"
#include "program/shell/copy_command.h"
#include "program/app/copy_job.h"
#include "program/app/language_resources.h"
#include "program/app/recent_images.h"
#include "program/app/scan_launch.h"
#include "program/shell/select_drive_dialog.h"
#include "program/messages/show_status.h"
#include "program/shell/status_bar.h"
#include "program/shell/toolbar_art.h"
#include "program/shell/window_placement.h"

namespace dravik::shell {

namespace {

constexpr unsigned kNoDeviceText = 169;
// Closing the window while a scan runs asks first.
constexpr char kStopScanAndQuitText[] = "Stop the scan and quit?";
// The status text after a stopped scan: what the tree shows is partial.
constexpr char kScanStoppedText[] = "Scan stopped: the results are incomplete.";
constexpr unsigned kDeviceText = 1006;
constexpr int kMainMenusGrayedDuringScan = 3;
constexpr int kViewDropDown = 40049;
// The views' popup menus: one entry each, with these texts.
constexpr int kListPopupCommand = 40010;
constexpr unsigned kListPopupText = 10000;
constexpr int kTreePopupCommand = 99;
constexpr unsigned kTreePopupText = 11000;
// Toolbar commands that start a scan or change the drive; like the grayed
// menus, they wait while a scan runs.
constexpr int kToolbarScanCommands[] = {40018, 40019, 40038, 40039, 51685};


struct ToolbarButton {
    int id;          // 0: a separator
    bool enabled;
    ToolbarArt image;
};
// The eight buttons in their order, with their first states.
constexpr ToolbarButton kToolbarLayout[MainWindow::kToolbarButtons] = {
    {40018, true, ToolbarArt::kSelectDrive},
    {40019, false, ToolbarArt::kScanAgain},
    {0, true, ToolbarArt::kViews},
    {40020, false, ToolbarArt::kCopyFiles},
    {40038, false, ToolbarArt::kEject},
    {40039, false, ToolbarArt::kLoad},
    {0, true, ToolbarArt::kViews},
    {kViewDropDown, false, ToolbarArt::kViews},
};

bool ParseResource(const char* name, std::string& text, std::string& error) {
    text = app::LanguageResource(name);
    if (text.empty()) {
        error = std::string("the language module has no ") + name;
        return false;
    }
    return true;
}

}  // namespace

bool LoadWindowResources(WindowResources& resources, std::string& error) {
    std::string text, why;
    if (!ParseResource("164.menu", text, error)) return false;
    if (!app::ParseMenu(text, resources.mainMenu, why)) {
        error = "menu 164, " + why;
        return false;
    }
    if (!ParseResource("165.menu", text, error)) return false;
    if (!app::ParseMenu(text, resources.popupMenus, why) || resources.popupMenus.empty() ||
        resources.popupMenus[0].kind != app::MenuEntry::Kind::Popup) {
        error = "menu 165, " + (why.empty() ? std::string("its first entry is not a submenu") : why);
        return false;
    }
    if (!ParseResource("ACCEL.accel", text, error)) return false;
    if (!app::ParseAccelerators(text, resources.accelerators, why)) {
        error = "accelerators, " + why;
        return false;
    }
    return true;
}

MainWindow::MainWindow(const WindowResources& resources, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Dravik"));
    setWindowTitle(QString::fromStdString(scan::ProgramTitle));
    setWindowIcon(QApplication::windowIcon());
    for (const app::MenuEntry& entry : resources.mainMenu) {
        if (entry.kind != app::MenuEntry::Kind::Popup) continue;
        QMenu* menu = BuildMenu(entry, menuBar(), false);
        menuBar()->addMenu(menu);
        if (topMenus_.size() < kMainMenusGrayedDuringScan) {
            for (int id : app::MenuCommandIds(entry.children)) scanLockedCommands_.insert(id);
        }
        topMenus_.append(menu);
    }
    for (int id : kToolbarScanCommands) scanLockedCommands_.insert(id);
    BuildRecentMenu();
    BuildAccelerators(resources.accelerators);
    BuildToolbar(resources.popupMenus);
    status_ = new StatusBarParts(statusBar());
    BuildViews();
    copier_ = new CopyCommand(*this);
    CheckStyleEntries(views_->ListStyle());
    resize(860, 560);
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::CommandAction(int id, const QString& text, QObject* owner) {
    auto* action = new QAction(text, owner);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { Command(id); });
    connect(action, &QAction::hovered, this, [this, action] { MenuHelp(action); });
    actions_[id].append(action);
    return action;
}

QMenu* MainWindow::BuildMenu(const app::MenuEntry& popup, QWidget* parent, bool owned) {
    auto* menu = new QMenu(QString::fromStdString(popup.text), parent);
    (void)owned;
    QActionGroup* group = nullptr;
    for (const app::MenuEntry& entry : popup.children) {
        switch (entry.kind) {
            case app::MenuEntry::Kind::Popup:
                menu->addMenu(BuildMenu(entry, menu, true));
                break;
            case app::MenuEntry::Kind::Separator:
                menu->addSeparator();
                break;
            case app::MenuEntry::Kind::Item:
            case app::MenuEntry::Kind::Radio: {
                QAction* action = CommandAction(entry.id, QString::fromStdString(entry.text), menu);
                if (entry.kind == app::MenuEntry::Kind::Radio) {
                    if (!group) {
                        group = new QActionGroup(menu);
                        styleGroups_.push_back(group);
                    }
                    action->setCheckable(true);
                    group->addAction(action);
                }
                menu->addAction(action);
                break;
            }
        }
    }
    // Hovering a submenu's own entry empties the status text.
    connect(menu->menuAction(), &QAction::hovered, this, [this] { SetStatusPart(0, QString()); });
    return menu;
}

void MainWindow::BuildRecentMenu() {
    if (topMenus_.isEmpty()) return;
    QMenu* file = topMenus_[0];
    recentMenu_ = new QMenu(QStringLiteral("&Recent Images"), file);
    recentMenu_->setObjectName(QStringLiteral("RecentImages"));
    recentMenu_->setToolTipsVisible(true);
    // Right after Open Disc Image.
    QAction* before = nullptr;
    const QList<QAction*> entries = file->actions();
    for (int i = 0; i + 1 < entries.size(); ++i)
        if (entries[i]->data().toInt() == kOpenImageCommand) before = entries[i + 1];
    file->insertMenu(before, recentMenu_);
    UpdateRecentImages();
}

void MainWindow::UpdateRecentImages() {
    if (!recentMenu_) return;
    recentMenu_->clear();
    for (const std::string& image : app::RecentImages()) {
        const QString path = QString::fromStdString(image);
        QAction* entry = recentMenu_->addAction(QFileInfo(path).fileName());
        entry->setToolTip(path);
        // An image moved away since stays listed, grayed.
        entry->setEnabled(QFileInfo(path).isFile());
        connect(entry, &QAction::triggered, this, [this, path] {
            if (!scan::ScanRunning) OpenImageAt(path);
        });
    }
    recentMenu_->menuAction()->setEnabled(!recentMenu_->isEmpty());
}

void MainWindow::BuildAccelerators(const std::vector<app::Accelerator>& accelerators) {
    // One shortcut is never given to two actions (Qt would then fire
    // neither): a key goes to the command's first menu entry, or to an
    // action of its own when no menu shows the command.
    for (const app::Accelerator& accelerator : accelerators) {
        QKeySequence key = QKeySequence::fromString(QString::fromStdString(accelerator.key), QKeySequence::PortableText);
        if (key.isEmpty()) {
            if (diag::DebugMode) diag::DebugPrint("app::Accelerator key %s is not understood", accelerator.key.c_str());
            continue;
        }
        QAction* target = nullptr;
        for (QAction* action : actions_.value(accelerator.id)) {
            if (action->parent() != this) {
                target = action;
                break;
            }
        }
        if (!target) {
            target = CommandAction(accelerator.id, QString(), this);
            addAction(target);
        }
        QList<QKeySequence> keys = target->shortcuts();
        keys.append(key);
        target->setShortcuts(keys);
    }
}

void MainWindow::BuildToolbar(const std::vector<app::MenuEntry>& popupMenus) {
    toolbar_ = addToolBar(QStringLiteral("Commands"));
    toolbar_->setObjectName(QStringLiteral("id4"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(24, 24));
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const ToolbarButton& button : kToolbarLayout) {
        if (button.id == 0) {
            toolbar_->addSeparator();
            continue;
        }
        const int id = button.id;
        const QIcon image = ToolbarIcon(button.image);
        auto* action = new QAction(image, LanguageText(id), toolbar_);
        action->setData(id);
        action->setToolTip(LanguageText(id));
        action->setEnabled(button.enabled);
        toolbarActions_[id] = action;
        if (id == kViewDropDown) {
            // The whole button opens the first submenu of menu 165.
            QMenu* views = BuildMenu(popupMenus.front(), this, true);
            action->setMenu(views);
            toolbar_->addAction(action);
            if (auto* widget = qobject_cast<QToolButton*>(toolbar_->widgetForAction(action)))
                widget->setPopupMode(QToolButton::InstantPopup);
        } else {
            connect(action, &QAction::triggered, this, [this, id] { Command(id); });
            toolbar_->addAction(action);
        }
    }
}

void MainWindow::BuildViews() {
    views_ = new CatalogueViews(this);
    setCentralWidget(views_);
    listPopup_ = new QMenu(this);
    listPopup_->addAction(CommandAction(kListPopupCommand, LanguageText(kListPopupText), listPopup_));
    treePopup_ = new QMenu(this);
    treePopup_->addAction(CommandAction(kTreePopupCommand, LanguageText(kTreePopupText), treePopup_));
    views_->SetPopupMenus(listPopup_, treePopup_);
    views_->SetBusyHook([this](bool on) { SetBusyCursor(on); });
}

QTreeView* MainWindow::Tree() const { return views_->Tree(); }
QAbstractItemView* MainWindow::List() const { return views_->List(); }
int MainWindow::ListStyle() const { return views_->ListStyle(); }

port::TreeHandle MainWindow::InsertTreeItem(const port::TreeItemRequest& request) {
    return views_->InsertTreeItem(request);
}

void MainWindow::SelectTreeItem(port::TreeHandle node) { views_->SelectTreeItem(node); }

void MainWindow::ClearViews() { views_->ClearViews(); }

void MainWindow::SetListStyle(int index) {
    if (index < 0 || index > 3) return;
    views_->SetListStyle(index);
    CheckStyleEntries(index);
}

void MainWindow::CheckStyleEntries(int index) {
    const int checkedId = 40001 + index;
    for (QActionGroup* group : styleGroups_) {
        for (QAction* action : group->actions())
            action->setChecked(action->data().toInt() == checkedId);
    }
}

void MainWindow::SetStatusPart(int part, const QString& text) { status_->SetText(part, text); }

void MainWindow::ShowDeviceStatus() {
    QString text;
    if (device::CDDevice* device = scan::SelectedDevice()) {
        QString format = LanguageText(kDeviceText);
        if (format.isEmpty()) format = QStringLiteral("%s  %s");
        QString id = QString::fromUtf8(device->GetDeviceId());
        QString name = QString::fromUtf8(device->GetDeviceName());
        // The text has two %s: the device's id and its name.
        int first = format.indexOf(QLatin1String("%s"));
        if (first >= 0) format.replace(first, 2, id);
        int second = format.indexOf(QLatin1String("%s"), first >= 0 ? first + id.size() : 0);
        if (second >= 0) format.replace(second, 2, name);
        text = format;
    } else {
        text = LanguageText(kNoDeviceText);
    }
    const settings::Settings& options = settings::ProgramSettings;
    status_->ShowDevice(text, diag::DebugMode, options.IgnoreJoliet || options.IntensiveScan);
}

void MainWindow::MenuHelp(QAction* action) {
    if (!action || action->isSeparator()) return;
    if (action->menu()) {
        SetStatusPart(0, QString());
        return;
    }
    const int id = action->data().toInt();
    if (id != 0) messages::ShowStatus(id);
}

void MainWindow::SwitchMainMenus(bool enabled) {
    for (int i = 0; i < topMenus_.size() && i < kMainMenusGrayedDuringScan; ++i)
        topMenus_[i]->menuAction()->setEnabled(enabled);
    menuBar()->update();
    if (enabled) ScanEnded();
}

void MainWindow::EnableCommand(int id, bool enabled) {
    for (QAction* action : actions_.value(id)) action->setEnabled(enabled);
    if (QAction* button = toolbarActions_.value(id)) button->setEnabled(enabled);
}

void MainWindow::ShowResults() {
    ShowResultsAdvice(this);
}

void MainWindow::SetBusyCursor(bool on) {
    busy_ = on;
    if (on)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

QList<QAction*> MainWindow::CommandActions(int id) const { return actions_.value(id); }
QAction* MainWindow::ToolbarAction(int id) const { return toolbarActions_.value(id); }

bool MainWindow::CommandAllowedDuringScan(int id) const { return scanLockedCommands_.count(id) == 0; }

void MainWindow::Command(int id) {
    if ((scan::ScanRunning || app::CopyRunning()) && !CommandAllowedDuringScan(id)) {
        // Grayed while a scan or a copy runs; an accelerator may still reach here.
        return;
    }
    emit commandIssued(id);
    messages::ShowStatus(id);
    // A command that fails is reported and the window stays: only the
    // user closes the program.
    try {
        RunCommandTable(id);
    } catch (const std::exception& error) {
        if (diag::DebugMode) diag::DebugPrint("Command %d failed: %s", id, error.what());
    } catch (...) {
        if (diag::DebugMode) diag::DebugPrint("Command %d failed", id);
    }
}

bool MainWindow::AskStopScanAndQuit() {
    const int kind = static_cast<int>(port::kMessageKindYesNo << 16);
    return messages::ShowMessage(kind, kStopScanAndQuitText) == port::kResultYes;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (settings::ProgramSettings.SavePos) SaveWindowPlacement(*this);
    if (copier_->Running()) {
        // The copy stops at its next block; the window stays.
        copier_->Cancel();
        event->ignore();
        return;
    }
    if (scan::ScanRunning) {
        if (!quitAfterScan_ && !AskStopScanAndQuit()) {
            event->ignore();
            return;
        }
        quitAfterScan_ = true;
        if (scan::ScanRunning) {
            // The readers stop at their next check; ScanEnded closes the
            // window once the scan has given the menus back.
            app::StopScan();
            event->ignore();
            return;
        }
    }
    // The quit asked for during a scan is done with.
    quitAfterScan_ = false;
    views_->Release();
    // A dialog still open (the close came from elsewhere than its owner:
    // the session ending, a script) is cancelled so the program can end.
    for (int open = 0; open < 8; ++open) {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) break;
        dialog->reject();
    }
    event->accept();
}

void MainWindow::ScanEnded() {
    if (scan::LastScanOutcome() == scan::ScanOutcome::Cancelled) SetStatusPart(0, QString::fromLatin1(kScanStoppedText));
    // Marks the scan set at its end (a track stopped early) show now.
    views_->RepaintViews();
    if (quitAfterScan_) QTimer::singleShot(0, this, [this] { close(); });
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Backspace with the focus outside the list: the parent directory.
    if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier) {
        views_->SelectParentDirectory();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

}  // namespace dravik::shell
