// The about box and the start-up splash: the picture beside the program,
// the title and versions, the support mail, the splash closed by a click
// or its timer, and -N at start-up.
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QApplication>
#include <QMouseEvent>
#include <QUrl>

#include "gui_fixture.h"
#include "program/app/scan_launch.h"
#include "program/app/settings_store.h"
#include "program/messages/language_module.h"
#include "program/scan/scan_state.h"
#include "program/shell/about_box.h"
#include "program/shell/help_pages.h"
#include "program/shell/main_window.h"
#include "program/shell/startup.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace dravik::test {
namespace {

class AboutBoxTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        shell::SetUrlOpener([this](const QUrl& url) {
            opened_.push_back(url);
            return true;
        });
    }
    void TearDown() override {
        shell::CloseSplash();
        WaitUntil([] { return shell::OpenSplash() == nullptr; });
        shell::SetSplashPicturePath(QString());
        shell::SetUrlOpener(nullptr);
        GuiTest::TearDown();
    }
    // A picture in the splash's place, in `format`, `size` pixels.
    QString WritePicture(const char* format, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(0x20, 0x50, 0x90));
        const QString path = QString::fromStdString(dir_.File("dravik.sph"));
        EXPECT_TRUE(image.save(path, format));
        shell::SetSplashPicturePath(path);
        return path;
    }

    TempDir dir_;
    std::vector<QUrl> opened_;
};

TEST_F(AboutBoxTest, TheModalBoxNamesTheProductItsVersionAndWritesToSupport) {
    WritePicture("PNG", QSize(320, 120));
    bool checked = false;
    WhenDialogOpens(QStringLiteral("ABOUT"), [&](QDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Pellor Dravik"));
        auto* title = dialog->findChild<QLabel*>(QStringLiteral("id65535"));
        auto* version = dialog->findChild<QLabel*>(QStringLiteral("id102"));
        ASSERT_TRUE(title && version);
        EXPECT_TRUE(title->text().contains(QStringLiteral("Pellor Dravik")));
        EXPECT_FALSE(title->text().contains(QStringLiteral("%s")));
        EXPECT_TRUE(version->text().contains(QStringLiteral(DRAVIK_TEST_PROJECT_VERSION))) << version->text().toStdString();
        EXPECT_FALSE(version->text().contains(QStringLiteral("%s")));
        SaveScreenshot(dialog, "about_box");
        dialog->findChild<QPushButton*>(QStringLiteral("id1103"))->click();
        checked = true;
        dialog->findChild<QPushButton*>(QStringLiteral("id1"))->click();
    });
    shell::RunAboutBox(nullptr);
    EXPECT_TRUE(checked);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(opened_[0].path(), shell::SupportMailAddress());
    EXPECT_EQ(opened_[0].query(QUrl::FullyDecoded), QStringLiteral("subject=Pellor Dravik Support"));
}

TEST_F(AboutBoxTest, TheSplashShowsThePictureInAnyFormatAndAClickClosesIt) {
    for (const char* format : {"PNG", "BMP", "JPG"}) {
        WritePicture(format, QSize(300, 100));
        shell::AboutBox* splash = shell::ShowSplash();
        ASSERT_NE(splash, nullptr) << format;
        EXPECT_TRUE(splash->HasPicture()) << format;
        EXPECT_EQ(splash->Picture()->pixmap().size(), QSize(300, 100)) << format;
        EXPECT_TRUE(splash->Dialog()->isVisible());
        if (std::string(format) == "PNG") SaveScreenshot(splash->Dialog(), "splash");
        // A click on the picture, not only on the window's own area; the
        // right button too.
        const QPointF at(5, 5);
        QMouseEvent press(QEvent::MouseButtonPress, at, splash->Picture()->mapToGlobal(at), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, splash->Picture()->mapToGlobal(at), Qt::RightButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(splash->Picture(), &press);
        EXPECT_EQ(shell::OpenSplash(), splash) << "a press alone leaves it";
        QApplication::sendEvent(splash->Picture(), &release);
        ASSERT_TRUE(WaitUntil([] { return shell::OpenSplash() == nullptr; })) << format;
    }
}

TEST_F(AboutBoxTest, WithoutAPictureTheSplashIsGreyAndClosesByItself) {
    shell::SetSplashPicturePath(QString::fromStdString(dir_.File("missing.sph")));
    QElapsedTimer clock;
    clock.start();
    shell::AboutBox* splash = shell::ShowSplash();
    ASSERT_NE(splash, nullptr);
    EXPECT_FALSE(splash->HasPicture());
    const QImage grey = splash->Picture()->pixmap().toImage();
    ASSERT_FALSE(grey.isNull());
    EXPECT_EQ(grey.pixelColor(grey.width() / 2, grey.height() / 2), QColor(0x80, 0x80, 0x80));
    shell::WaitForSplash();
    EXPECT_EQ(shell::OpenSplash(), nullptr);
    EXPECT_GE(clock.elapsed(), shell::AboutBox::kSplashMilliseconds - 50);
}

// Start-up with the splash: -N closes it at once, so the window comes
// without the five-second wait.
TEST(StartupSplashTest, SwitchNClosesTheSplashAtOnce) {
    messages::LanguageModule& language = messages::ProgramLanguage();
    if (!language.Loaded()) {
        ASSERT_TRUE(language.LoadFrom(BuildDir() + "/bin/liblangres.so"));
    }
    app::InstallScanThread(nullptr);
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    shell::SetStartupSplashEnabled(true);
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<shell::Program> program = shell::StartProgram({"-N"});
    const qint64 took = clock.elapsed();
    shell::SetStartupSplashEnabled(false);
    EXPECT_TRUE(program->run);
    ASSERT_NE(program->window, nullptr);
    EXPECT_EQ(shell::OpenSplash(), nullptr);
    EXPECT_LT(took, shell::AboutBox::kSplashMilliseconds - 1000);
    shell::ShutdownProgram(*program);
    scan::CloseRequested = 0;
}

}  // namespace
}  // namespace dravik::test
