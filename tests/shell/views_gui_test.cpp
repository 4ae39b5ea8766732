// The tree and the list over a catalogue: column texts, pictures, sorting,
// status lines, keys, double click, the four list styles and what they
// store, the splitter's limits, a directory of 50,000 entries, and the
// window placement kept between sessions.
#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QSplitterHandle>
#include <QTest>
#include <QTreeView>

#include "gui_fixture.h"
#include "program/messages/language_module.h"
#include "program/messages/message_catalog.h"
#include "program/scan/catalogue_views.h"
#include "program/scan/found_item.h"
#include "program/scan/posix_file_info.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "program/shell/catalogue_views.h"
#include "program/shell/file_list_model.h"
#include "program/shell/list_texts.h"
#include "program/shell/main_window.h"
#include "program/app/scan_launch.h"
#include "program/app/settings_store.h"
#include "program/messages/show_status.h"
#include "program/shell/startup.h"
#include "program/shell/status_bar.h"
#include "program/shell/view_images.h"
#include "program/shell/window_placement.h"
#include "support/test_paths.h"

namespace dravik::test {
namespace {

using scan::FoundItem;
using shell::CatalogueViews;
using shell::MainWindow;

FoundItem* Item(FoundItem* dir, const char* name, std::uint16_t flags, std::int32_t start, std::uint32_t size) {
    FoundItem* item = scan::NewFoundItem(name);
    item->flags = flags;
    item->start = start;
    item->size = size;
    item->date = scan::ItemDateFromFields(2004, 5, 6, 7, 8, 9);
    if (dir) scan::AppendItem(dir, item);
    return item;
}

// A one-track disc: a root with three directories (one deleted) and files
// of every kind; DOCS holds two files and a subdirectory.
struct Disc {
    scan::TrackNode* track = nullptr;
    FoundItem* root = nullptr;
    FoundItem* docs = nullptr;
    FoundItem* sub = nullptr;
};

Disc BuildDisc() {
    Disc disc;
    disc.track = scan::NewTrackNode();
    disc.track->number = 1;
    disc.track->session = 1;
    scan::AppendTrackNode(disc.track);
    disc.root = Item(nullptr, scan::RootItemName("MYDISC", 1).c_str(), scan::ItemDirectory, 20, 2048);
    scan::AttachRootItem(disc.track, disc.root);
    Item(disc.root, "\x00", scan::ItemDirectory, 20, 2048);  // "." entry
    disc.docs = Item(disc.root, "DOCS", scan::ItemDirectory, 30, 2048);
    Item(disc.root, "PHOTOS", scan::ItemDirectory, 31, 2048);
    Item(disc.root, "OLD", scan::ItemDirectory | scan::ItemDeleted, 32, 2048);
    Item(disc.root, "README.TXT;1", 0, 40, 10239);
    Item(disc.root, "BIG.BIN;1", 0, 50, 10240);
    Item(disc.root, "HUGE.DAT", 0, 60, 1048576);
    Item(disc.root, "LOST.DOC", scan::ItemMissing, scan::StartNotAvailable, 100);
    Item(disc.root, "SHARED.DAT", scan::ItemOverlap, 70, 5000);
    Item(disc.root, "ERASED.TXT", scan::ItemDeleted, 80, 10);
    Item(disc.root, "ZETA.TXT;12", 0, 90, 1);
    Item(disc.docs, "A.TXT", 0, 100, 11);
    Item(disc.docs, "B.TXT", 0, 101, 12);
    disc.sub = Item(disc.docs, "SUB", scan::ItemDirectory, 102, 2048);
    Item(disc.sub, "C.TXT", 0, 103, 13);
    scan::RecountDirectories(disc.root);
    // The scan shows directories in the tree as it finds them.
    for (FoundItem* dir : {disc.root, disc.docs, disc.docs->next, disc.docs->next->next, disc.sub})
        scan::ShowItemInTree(dir);
    return disc;
}

class ViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        messages::LanguageModule& language = messages::ProgramLanguage();
        if (!language.Loaded()) {
            ASSERT_TRUE(language.LoadFrom(BuildDir() + "/bin/liblangres.so"));
        }
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        app::InstallScanThread(nullptr);
        app::WriteProgramString(app::kLastDeviceValue, "D:");
    }
    void TearDown() override {
        scan::ClearTrackList(false);
        if (program_) shell::ShutdownProgram(*program_);
        program_.reset();
        QLocale::setDefault(QLocale::system());
    }
    MainWindow& Start() {
        program_ = shell::StartProgram({});
        EXPECT_TRUE(program_->run);
        return *program_->window;
    }
    static int RowNamed(CatalogueViews& views, const char* name) {
        const auto& rows = views.ListModel()->Items();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (std::string(rows[i]->Name()) == name) return static_cast<int>(i);
        return -1;
    }
    static QString Cell(CatalogueViews& views, const char* name, int column) {
        QAbstractItemModel* model = views.ListModel();
        return model->data(model->index(RowNamed(views, name), column), Qt::DisplayRole).toString();
    }
    static std::vector<std::string> Names(CatalogueViews& views) {
        std::vector<std::string> names;
        for (FoundItem* item : views.ListModel()->Items()) names.push_back(item->Name());
        return names;
    }
    std::unique_ptr<shell::Program> program_;
};

TEST_F(ViewsTest, SymbolicLinksShowTheirTarget) {
    MainWindow& window = Start();
    Disc disc = BuildDisc();
    scan::PosixFileInfo info;
    info.symlink = true;
    info.linkTarget = "../A.TXT";
    scan::SetPosixFileInfo(Item(disc.sub, "latest", 0, 104, 0), info);
    CatalogueViews& views = *window.Views();
    views.SelectTreeItem(disc.sub->treeView.handle);
    EXPECT_EQ(Cell(views, "latest", 0).toStdString(), "latest -> ../A.TXT");
    EXPECT_EQ(Cell(views, "C.TXT", 0).toStdString(), "C.TXT");
}

TEST_F(ViewsTest, ColumnTextsAndPictures) {
    MainWindow& window = Start();
    Disc disc = BuildDisc();
    CatalogueViews& views = *window.Views();
    views.SelectTreeItem(disc.root->treeView.handle);
    ASSERT_EQ(views.ListModel()->rowCount(), 10) << "the \".\" entry is not shown";
    struct Row {
        const char* name;
        const char* shownName;
        const char* start;
        const char* size;
        int image;
    } rows[] = {
        {"README.TXT;1", "README.TXT", "40", "10,239", shell::kListFile},
        {"BIG.BIN;1", "BIG.BIN", "50", "10K", shell::kListFile},
        {"HUGE.DAT", "HUGE.DAT", "60", "1,024K", shell::kListFile},
        {"LOST.DOC", "LOST.DOC", "N/A     ", "100", shell::kListNoLocation},
        {"SHARED.DAT", "SHARED.DAT", "70", "5,000", shell::kListDamaged},
        {"ERASED.TXT", "ERASED.TXT", "80", "10", shell::kListFileDeleted},
        {"ZETA.TXT;12", "ZETA.TXT;12", "90", "1", shell::kListFile},
        {"OLD", "OLD", "32", "2,048", shell::kListFolderDeleted},
        {"DOCS", "DOCS", "30", "2,048", shell::kListFolder},
    };
    for (const Row& row : rows) {
        ASSERT_GE(RowNamed(views, row.name), 0) << row.name;
        EXPECT_EQ(Cell(views, row.name, 0).toStdString(), row.shownName);
        EXPECT_EQ(Cell(views, row.name, 1).toStdString(), row.start);
        EXPECT_EQ(Cell(views, row.name, 2).toStdString(), row.size);
        EXPECT_EQ(Cell(views, row.name, 3).toStdString(), scan::ItemDateText(disc.docs->date));
        EXPECT_EQ(shell::ListImageOf(*views.ListModel()->ItemAt(RowNamed(views, row.name))), row.image) << row.name;
    }
    EXPECT_EQ(shell::ListSizeText(0xFFFFFC01u).toStdString(), "4,194,304K") << "no wrap near 4 GB";
    // Without version removal the names stay whole.
    settings::ProgramSettings.RemoveVersion = 0;
    EXPECT_EQ(Cell(views, "README.TXT;1", 0).toStdString(), "README.TXT;1");
    settings::ProgramSettings.RemoveVersion = 1;
    // The column titles come from the language module.
    const QStringList titles =
        QString::fromStdString(messages::ProgramLanguage().Text(904)).split(QLatin1Char(';'));
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(views.ListModel()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), titles[column]);
    // The status texts take what their callers pass.
    for (unsigned text : {123u, 124u, 125u, 129u, 130u, 149u, 221u, 1006u})
        EXPECT_TRUE(messages::FormatFitsArguments(messages::ProgramLanguage().Text(text), messages::StatusTextArguments(text)))
            << text;
}

TEST_F(ViewsTest, SortingByColumnsWithDirectoriesFirstAndTheHeaderTurningTheOrder) {
    MainWindow& window = Start();
    Disc disc = BuildDisc();
    CatalogueViews& views = *window.Views();
    window.SetListStyle(shell::kDetails);
    views.SelectTreeItem(disc.root->treeView.handle);
    // Sorted by name when opened: directories first.
    EXPECT_EQ(Names(views), (std::vector<std::string>{"DOCS", "OLD", "PHOTOS", "BIG.BIN;1", "ERASED.TXT", "HUGE.DAT",
                                                      "LOST.DOC", "README.TXT;1", "SHARED.DAT", "ZETA.TXT;12"}));
    QHeaderView* header = views.Details()->header();
    auto click = [&](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 8, header->height() / 2));
    };
    click(2);  // size
    EXPECT_EQ(views.ListModel()->SortState(), 3);
    EXPECT_EQ(Names(views).front(), "ZETA.TXT;12");
    EXPECT_EQ(Names(views).back(), "HUGE.DAT");
    click(0);
    click(0);  // name, twice: descending
    EXPECT_EQ(views.ListModel()->SortState(), -1);
    EXPECT_EQ(Names(views), (std::vector<std::string>{"ZETA.TXT;12", "SHARED.DAT", "README.TXT;1", "LOST.DOC",
                                                      "HUGE.DAT", "ERASED.TXT", "BIG.BIN;1", "PHOTOS", "OLD", "DOCS"}));
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    click(1);  // start blocks: -1 first
    EXPECT_EQ(Names(views).front(), "LOST.DOC");
    // Selection follows its items through a sort.
    views.Details()->selectionModel()->select(views.ListModel()->index(RowNamed(views, "HUGE.DAT"), 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    click(1);
    EXPECT_EQ(views.NextSelectedListItem(nullptr)->Name(), std::string("HUGE.DAT"));
}

TEST_F(ViewsTest, StatusTextsForDirectoriesFilesAndSeveralFiles) {
    MainWindow& window = Start();
    Disc disc = BuildDisc();
    CatalogueViews& views = *window.Views();
    auto status = [&] { return window.Status()->Text(0).toStdString(); };
    auto text = [](unsigned id, auto... args) {
        char buffer[300];
        std::snprintf(buffer, sizeof buffer, messages::ProgramLanguage().Text(id).c_str(), args...);
        return std::string(buffer);
    };
    views.SelectTreeItem(disc.root->treeView.handle);
    EXPECT_EQ(status(), text(125, 10)) << "the root's own entries, not those of its subdirectories";
    QItemSelectionModel* selection = views.List()->selectionModel();
    auto select = [&](const char* name, QItemSelectionModel::SelectionFlags how) {
        selection->select(views.ListModel()->index(RowNamed(views, name), 0), how | QItemSelectionModel::Rows);
    };
    select("HUGE.DAT", QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(status(), text(123, 1048576, scan::ItemDateText(disc.docs->date).c_str()));
    select("README.TXT;1", QItemSelectionModel::Select);
    EXPECT_EQ(status(), text(149, 2, 1048576 + 10239));
    select("DOCS", QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(status(), text(125, 3));
    EXPECT_EQ(views.SelectedRowCount(), 1);
}

TEST_F(ViewsTest, BackspaceTabAndDoubleClickMoveThroughTheDirectories) {
    MainWindow& window = Start();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    Disc disc = BuildDisc();
    CatalogueViews& views = *window.Views();
    views.SelectTreeItem(disc.root->treeView.handle);
    // Double click on a directory row opens it in the tree.
    const int docs = RowNamed(views, "DOCS");
    views.List()->selectionModel()->select(views.ListModel()->index(docs, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    emit views.List()->doubleClicked(views.ListModel()->index(docs, 0));
    ASSERT_TRUE(WaitUntil([&] { return views.SelectedTreeItem() == disc.docs; }));
    EXPECT_EQ(Names(views), (std::vector<std::string>{"SUB", "A.TXT", "B.TXT"}));
    // A file row does nothing.
    const int file = RowNamed(views, "A.TXT");
    views.List()->selectionModel()->select(views.ListModel()->index(file, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    emit views.List()->doubleClicked(views.ListModel()->index(file, 0));
    WaitUntil([] { return false; }, 50);
    EXPECT_EQ(views.SelectedTreeItem(), disc.docs);

    views.List()->setFocus();
    QTest::keyClick(views.List(), Qt::Key_Backspace);
    EXPECT_EQ(views.SelectedTreeItem(), disc.root);
    QTest::keyClick(views.List(), Qt::Key_Backspace);  // no parent: a beep, nothing else
    EXPECT_EQ(views.SelectedTreeItem(), disc.root);
    QTest::keyClick(views.List(), Qt::Key_Tab);
    EXPECT_TRUE(views.Tree()->hasFocus());
    QTest::keyClick(views.Tree(), Qt::Key_Tab);
    EXPECT_TRUE(views.List()->hasFocus());
    // The popup menus carry their one command each.
    ASSERT_EQ(window.ListPopup()->actions().size(), 1);
    EXPECT_EQ(window.ListPopup()->actions().front()->data().toInt(), 40010);
    EXPECT_EQ(window.TreePopup()->actions().front()->data().toInt(), 99);
    EXPECT_EQ(window.TreePopup()->actions().front()->text().toStdString(), messages::ProgramLanguage().Text(11000));
}

TEST_F(ViewsTest, LeavingDetailsStoresFiveWidthsWithZeroLastAndTheStyleValue) {
    MainWindow& window = Start();
    CatalogueViews& views = *window.Views();
    window.SetListStyle(shell::kDetails);
    EXPECT_EQ(app::ReadProgramNumber(app::kListStyleValue, 9), 1u) << "details is stored as 1";
    QHeaderView* header = views.Details()->header();
    header->resizeSection(0, 210);
    header->resizeSection(1, 61);
    header->resizeSection(2, 77);
    header->resizeSection(3, 130);
    window.SetListStyle(shell::kSmallIcons);
    // The date column takes the room left: at least the width it was given.
    const app::ColumnWidths kept =
        app::ParseColumnWidths(app::ReadProgramString(app::kColumnWidthsValue, ""));
    EXPECT_EQ(kept[0], 210);
    EXPECT_EQ(kept[1], 61);
    EXPECT_EQ(kept[2], 77);
    EXPECT_GE(kept[3], 130);
    EXPECT_EQ(kept[4], 0);
    const std::string stored = app::ReadProgramString(app::kColumnWidthsValue, "");
    EXPECT_EQ(app::ReadProgramNumber(app::kListStyleValue, 9), 2u);
    window.SetListStyle(shell::kPlainList);
    EXPECT_EQ(app::ReadProgramNumber(app::kListStyleValue, 9), 3u);
    EXPECT_EQ(app::ReadProgramString(app::kColumnWidthsValue, ""), stored) << "kept while not in details";
    EXPECT_TRUE(window.CommandActions(40003).front()->isChecked());
}

// In details view the name column takes the width the other columns leave
// free; only a width the user sets is stored.
TEST_F(ViewsTest, NameColumnTakesTheFreeWidthAndKeepsItsStoredWidth) {
    MainWindow& window = Start();
    CatalogueViews& views = *window.Views();
    window.SetListStyle(shell::kDetails);
    window.resize(1200, 600);
    window.show();
    QHeaderView* header = views.Details()->header();
    ASSERT_TRUE(WaitUntil([&] {
        int sum = 0;
        for (int column = 0; column < header->count(); ++column) sum += header->sectionSize(column);
        return sum == views.Details()->viewport()->width();
    })) << "the columns do not fill the view";
    const int stored = views.KeptColumnWidths()[0];
    EXPECT_GT(header->sectionSize(0), stored);
    window.SetListStyle(shell::kSmallIcons);
    EXPECT_EQ(app::ParseColumnWidths(app::ReadProgramString(app::kColumnWidthsValue, ""))[0], stored);
    // A width the user chose is stored.
    window.SetListStyle(shell::kDetails);
    header->resizeSection(0, stored + 7);
    window.SetListStyle(shell::kSmallIcons);
    EXPECT_EQ(app::ParseColumnWidths(app::ReadProgramString(app::kColumnWidthsValue, ""))[0], stored + 7);
}

TEST_F(ViewsTest, StoredLayoutIsReadAtStartAndMalformedWidthsKeepTheirDefaults) {
    app::WriteProgramNumber(app::kListStyleValue, 1);
    app::WriteProgramString(app::kColumnWidthsValue, "230,x");
    app::WriteProgramNumber(app::kTreeWidthValue, 222);
    MainWindow& window = Start();
    CatalogueViews& views = *window.Views();
    EXPECT_EQ(window.ListStyle(), shell::kDetails);
    EXPECT_EQ(window.List(), views.Details());
    EXPECT_TRUE(window.CommandActions(40004).front()->isChecked());
    // The name column is at least its stored width (it takes the free width).
    EXPECT_GE(views.Details()->header()->sectionSize(0), 230);
    EXPECT_EQ(views.KeptColumnWidths()[0], 230);
    EXPECT_EQ(views.Details()->header()->sectionSize(1), 55);
    EXPECT_EQ(views.TreeWidth(), 222);
    // An unknown stored style is large icons.
    shell::ShutdownProgram(*program_);
    app::WriteProgramNumber(app::kListStyleValue, 77);
    MainWindow& again = Start();
    EXPECT_EQ(again.ListStyle(), shell::kLargeIcons);
}

TEST_F(ViewsTest, SplitterStopsFiftyPixelsFromEachEdge) {
    MainWindow& window = Start();
    CatalogueViews& views = *window.Views();
    window.resize(800, 500);
    QApplication::processEvents();
    QSplitterHandle* handle = views.handle(1);
    auto drag = [&](int x) {
        const QPoint start = handle->rect().center();
        QMouseEvent press(QEvent::MouseButtonPress, start, handle->mapToGlobal(start), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(handle, &press);
        const QPoint target = handle->mapFrom(&views, QPoint(x, start.y()));
        QMouseEvent move(QEvent::MouseMove, target, handle->mapToGlobal(target), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(handle, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, target, handle->mapToGlobal(target), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(handle, &release);
        QApplication::processEvents();
    };
    drag(300);
    EXPECT_NEAR(views.TreeWidth(), 300, 3);
    EXPECT_EQ(app::ReadProgramNumber(app::kTreeWidthValue, 0), static_cast<std::uint32_t>(views.TreeWidth()));
    drag(10);
    EXPECT_EQ(views.TreeWidth(), CatalogueViews::kEdgeLimit + 1);
    drag(views.width() - 10);
    EXPECT_EQ(views.TreeWidth(), views.width() - CatalogueViews::kEdgeLimit - 1);
    EXPECT_EQ(app::ReadProgramNumber(app::kTreeWidthValue, 0), static_cast<std::uint32_t>(views.TreeWidth()));
}

TEST_F(ViewsTest, DirectoryOfFiftyThousandEntriesOpensAtOnce) {
    MainWindow& window = Start();
    window.show();
    scan::TrackNode* track = scan::NewTrackNode();
    scan::AppendTrackNode(track);
    FoundItem* root = Item(nullptr, scan::RootItemName("BIG", 1).c_str(), scan::ItemDirectory, 20, 2048);
    scan::AttachRootItem(track, root);
    FoundItem* last = nullptr;
    for (int i = 0; i < 50000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "FILE%05d.DAT;1", 49999 - i);
        FoundItem* item = Item(nullptr, name, 0, 100 + i, 4096);
        scan::LinkItem(root, last, item);
        last = item;
    }
    scan::ShowItemInTree(root);
    CatalogueViews& views = *window.Views();
    for (int style : {shell::kDetails, shell::kLargeIcons}) {
        window.SetListStyle(style);
        QElapsedTimer clock;
        clock.start();
        views.SelectTreeItem(root->treeView.handle);
        QApplication::processEvents();
        EXPECT_LT(clock.elapsed(), 4000) << "style " << style;
        ASSERT_EQ(views.ListModel()->rowCount(), 50000);
        EXPECT_EQ(views.ListModel()->ItemAt(0)->Name(), std::string("FILE00000.DAT;1"));
        views.Tree()->setCurrentIndex(QModelIndex());
        EXPECT_EQ(views.ListModel()->rowCount(), 0) << "leaving a directory empties the list";
    }
}

TEST_F(ViewsTest, ScreenshotsOfEachListStyle) {
    MainWindow& window = Start();
    window.resize(900, 560);
    window.show();
    Disc disc = BuildDisc();
    CatalogueViews& views = *window.Views();
    views.Tree()->expandAll();
    views.SelectTreeItem(disc.root->treeView.handle);
    views.List()->selectionModel()->select(views.ListModel()->index(RowNamed(views, "HUGE.DAT"), 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const char* names[] = {"main_window_large_icons", "main_window_small_icons", "main_window_list",
                           "main_window_details"};
    for (int style = 0; style < 4; ++style) {
        window.SetListStyle(style);
        QApplication::processEvents();
        WaitUntil([] { return false; }, 60);
        SaveScreenshot(&window, names[style]);
    }
}

TEST_F(ViewsTest, WindowPlacementIsKeptAndMalformedPlacementsAreIgnored) {
    MainWindow& window = Start();
    window.setGeometry(40, 50, 700, 450);
    window.close();
    const std::string stored = app::ReadProgramString(app::kWindowPositionValue, "");
    EXPECT_EQ(stored, "0,1,(-1,-1),(-1,-1).(40,50,740,500)");
    shell::ShutdownProgram(*program_);
    MainWindow& again = Start();
    EXPECT_EQ(again.geometry(), QRect(40, 50, 700, 450));
    for (const char* bad : {"0,1,(-1,-1),(-1,-1).(40,50,740)", "junk", "0,1,(-1,-1),(-1,-1).(40,50,40,50)"}) {
        QWidget probe;
        probe.setGeometry(5, 6, 300, 200);
        app::WriteProgramString(app::kWindowPositionValue, bad);
        EXPECT_FALSE(shell::RestoreWindowPlacement(probe)) << bad;
        EXPECT_EQ(probe.geometry(), QRect(5, 6, 300, 200)) << bad;
    }
    // SavePos off: nothing is stored at close.
    settings::ProgramSettings.SavePos = 0;
    app::WriteProgramString(app::kWindowPositionValue, "kept");
    again.close();
    EXPECT_EQ(app::ReadProgramString(app::kWindowPositionValue, ""), "kept");
}

}  // namespace
}  // namespace dravik::test
