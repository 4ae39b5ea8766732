// Shared pieces of the graphical tests: the language module from the build
// folder, the Qt front end installed for each test, waiting without a
// modal exec(), answering the message dialog when it opens, screenshots.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QDialog>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "program/shell/qt_shell_port.h"

namespace dravik::test {

// Runs the event loop until `condition` holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Once the message dialog is showing, runs `act` on it (from the event
// loop; the dialog's own local loop serves it).
void WhenMessageBoxOpens(std::function<void(QDialog*)> act);
// Once a visible dialog with the object name `name` is open (a form of
// the language module: "136", "SelectDrive"), runs `act` on it.
void WhenDialogOpens(const QString& name, std::function<void(QDialog*)> act);
// The visible dialog of that name, or null.
QDialog* OpenDialog(const QString& name);

// Presses a button of the message dialog by its id.
void PressMessageButton(QDialog* box, int id);

// Writes the widget's picture to $DRAVIK_BUILD_DIR/screenshots/<name>.png.
void SaveScreenshot(QWidget* widget, const std::string& name);

// The folder of the sample disc (two sessions) that dravik-cli make-demo
// writes, once per test process; empty when it could not be written.
const std::string& SampleDiscFolder();
// Its description, "<folder>/sample.vdisc" (empty as above).
std::string SampleDiscPath();

// The texts of a model's rows under `parent`, first column.
QStringList ChildTexts(const QAbstractItemModel* model, const QModelIndex& parent);

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<shell::QtShellPort> port_;
    std::vector<std::string> soundsPlayed_;
};

}  // namespace dravik::test
