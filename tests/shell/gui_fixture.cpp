#include "gui_fixture.h"

#include <QAbstractButton>
#include <cstdlib>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "program/diag/debug_log.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"
#include "program/messages/event_sound.h"
#include "program/messages/language_module.h"
#include "program/messages/show_message.h"
#include "program/messages/test_seams.h"
#include "program/shell/form_loader.h"
#include "program/shell/message_box.h"
#include "support/test_paths.h"

namespace dravik::test {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void WhenMessageBoxOpens(std::function<void(QDialog*)> act) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        auto* box = qobject_cast<QDialog*>(shell::OpenMessageBox());
        if (!box || !box->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        act(box);
    });
    poll->start();
}

QDialog* OpenDialog(const QString& name) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible() && dialog->objectName() == name) return dialog;
    }
    return nullptr;
}

void WhenDialogOpens(const QString& name, std::function<void(QDialog*)> act) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, name, act] {
        QDialog* dialog = OpenDialog(name);
        if (!dialog) return;
        poll->stop();
        poll->deleteLater();
        act(dialog);
    });
    poll->start();
}

void PressMessageButton(QDialog* box, int id) {
    shell::FormControl<QAbstractButton>(box, id)->click();
}

void SaveScreenshot(QWidget* widget, const std::string& name) {
    QString folder = QString::fromStdString(BuildDir()) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    QString path = folder + QStringLiteral("/") + QString::fromStdString(name) + QStringLiteral(".png");
    EXPECT_TRUE(widget->grab().save(path)) << path.toStdString();
}

void GuiTest::SetUp() {
    messages::LanguageModule& language = messages::ProgramLanguage();
    if (!language.Loaded()) {
        ASSERT_TRUE(language.LoadFrom(BuildDir() + "/bin/liblangres.so")) << language.LoadError();
    }
    messages::MessageContext context;
    context.language = &language;
    context.caption = "Pellor Dravik";
    messages::SetMessageContext(context);
    port_ = std::make_unique<shell::QtShellPort>();
    port_->SetSoundPlayer([this](const std::string& path) { soundsPlayed_.push_back(path); });
    port::InstallShellPort(port_.get());
    messages::test_seams::SetSoundFileLookup([](const std::string&) { return std::string(); });
}

void GuiTest::TearDown() {
    port::InstallShellPort(nullptr);
    port_.reset();
    diag::DebugMode = false;
    diag::LogWriteThrough = false;
    diag::TrackAllocations = false;
}

const std::string& SampleDiscFolder() {
    static TempDir dir;
    static const std::string folder = [] {
        const std::string path = dir.File("sample");
        const std::string command = "'" + BuildDir() + "/bin/dravik-cli' make-demo '" + path + "' >/dev/null";
        return std::system(command.c_str()) == 0 ? path : std::string();
    }();
    return folder;
}

std::string SampleDiscPath() { return SampleDiscFolder().empty() ? std::string() : SampleDiscFolder() + "/sample.vdisc"; }

QStringList ChildTexts(const QAbstractItemModel* model, const QModelIndex& parent) {
    QStringList texts;
    for (int row = 0; row < model->rowCount(parent); ++row) texts << model->index(row, 0, parent).data().toString();
    return texts;
}

}  // namespace dravik::test
