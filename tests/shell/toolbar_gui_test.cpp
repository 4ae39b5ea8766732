// The toolbar's own pictures: one a command, distinct, a grey version for
// the disabled state, drawn at twice the density too; and the toolbar of
// the running program with every button enabled and disabled.
#include <QAction>
#include <QImage>
#include <QToolBar>

#include "gui_fixture.h"
#include "program/app/scan_launch.h"
#include "program/app/settings_store.h"
#include "program/messages/language_module.h"
#include "program/scan/scan_state.h"
#include "program/shell/main_window.h"
#include "program/shell/startup.h"
#include "program/shell/toolbar_art.h"
#include "support/test_paths.h"

namespace dravik::test {
namespace {

using shell::ToolbarArt;

constexpr ToolbarArt kAllArt[] = {ToolbarArt::kSelectDrive, ToolbarArt::kScanAgain, ToolbarArt::kCopyFiles,
                                  ToolbarArt::kEject,       ToolbarArt::kLoad,      ToolbarArt::kViews};

// Share of pixels that are not transparent.
double Coverage(const QImage& image) {
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) drawn += qAlpha(image.pixel(x, y)) > 0;
    return double(drawn) / (image.width() * image.height());
}

// True when no opaque pixel carries colour (red, green and blue close).
bool Grey(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) < 128) continue;
            if (std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) > 24) return false;
        }
    }
    return true;
}

TEST(ToolbarArtTest, EachPictureIsItsOwnWithAGreyDisabledStateAtBothDensities) {
    std::vector<QImage> normals;
    for (ToolbarArt art : kAllArt) {
        for (int side : shell::kToolbarArtSizes) {
            const QImage normal = shell::DrawToolbarArt(art, side, 1.0, true).toImage();
            const QImage disabled = shell::DrawToolbarArt(art, side, 1.0, false).toImage();
            const QPixmap sharp = shell::DrawToolbarArt(art, side, 2.0, true);
            EXPECT_EQ(normal.size(), QSize(side, side));
            EXPECT_EQ(sharp.size(), QSize(2 * side, 2 * side));
            EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(side, side));
            // Something is drawn, but not a filled square.
            EXPECT_GT(Coverage(normal), 0.08) << int(art) << " at " << side;
            EXPECT_LT(Coverage(normal), 0.9) << int(art) << " at " << side;
            EXPECT_NE(normal, disabled) << int(art) << " at " << side;
            EXPECT_TRUE(Grey(disabled)) << int(art) << " at " << side;
        }
        normals.push_back(shell::DrawToolbarArt(art, 24, 1.0, true).toImage());
    }
    for (std::size_t a = 0; a < normals.size(); ++a)
        for (std::size_t b = a + 1; b < normals.size(); ++b) EXPECT_NE(normals[a], normals[b]) << a << " and " << b;
    // The icon hands out the disabled picture for the disabled state.
    const QIcon icon = shell::ToolbarIcon(ToolbarArt::kCopyFiles);
    EXPECT_NE(icon.pixmap(24, QIcon::Normal).toImage(), icon.pixmap(24, QIcon::Disabled).toImage());
    EXPECT_TRUE(Grey(icon.pixmap(24, QIcon::Disabled).toImage()));
}

TEST(ToolbarScreenshotTest, ButtonsEnabledAndDisabled) {
    messages::LanguageModule& language = messages::ProgramLanguage();
    if (!language.Loaded()) {
        ASSERT_TRUE(language.LoadFrom(BuildDir() + "/bin/liblangres.so"));
    }
    app::InstallScanThread(nullptr);
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    std::unique_ptr<shell::Program> program = shell::StartProgram({});
    ASSERT_NE(program->window, nullptr);
    shell::MainWindow& window = *program->window;
    const int ids[] = {40018, 40019, 40020, 40038, 40039, 40049};
    for (bool enabled : {true, false}) {
        for (int id : ids) window.EnableCommand(id, enabled);
        for (int id : ids) EXPECT_EQ(window.ToolbarAction(id)->isEnabled(), enabled) << id;
        SaveScreenshot(window.Toolbar(), enabled ? "toolbar_enabled" : "toolbar_disabled");
    }
    shell::ShutdownProgram(*program);
    scan::CloseRequested = 0;
}

}  // namespace
}  // namespace dravik::test
