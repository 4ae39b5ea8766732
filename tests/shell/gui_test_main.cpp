// The graphical tests run on the offscreen platform, with their own
// settings folder, debug log and a virtual drive over a small blank image.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <fstream>
#include <string>

#include "program/shell/advice_dialog.h"
#include "program/shell/program_icon.h"
#include "program/shell/progress_dialog.h"
#include "program/shell/startup.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static dravik::test::TempDir home;
    setenv("XDG_RUNTIME_DIR", home.path().c_str(), 0);
    setenv("DRAVIK_CONFIG_DIR", home.path().c_str(), 1);
    setenv("DRAVIK_DEBUG_LOG", home.File("gui.DBG").c_str(), 1);
    const std::string image = home.File("blank.iso");
    std::ofstream(image, std::ios::binary) << std::string(64 * 2048, '\0');
    setenv("DRAVIK_IMAGES", image.c_str(), 1);

    QApplication application(argc, argv);
    QApplication::setWindowIcon(dravik::shell::ProgramIcon());
    dravik::shell::SetAnimationFilePath(QString::fromStdString(dravik::test::BuildDir() + "/bin/DRAVIK.anm"));
    // Most tests scan discs for what the views show; the advice tests turn
    // the window after a scan back on.
    dravik::shell::SetResultsAdviceEnabled(false);
    // Nor do they wait five seconds for the splash at each start.
    dravik::shell::SetStartupSplashEnabled(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
