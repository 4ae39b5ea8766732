#include "program/shell/help_window.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "program/scan/scan_state.h"

namespace dravik::shell {

namespace {

QPointer<QDialog>& Window() {
    static QPointer<QDialog> window;
    return window;
}

QDialog* MakeWindow() {
    // No owner: the help stays open beside the main window and outlives
    // any dialog that opened it.
    auto* window = new QDialog(nullptr, Qt::Window);
    window->setObjectName(QString::fromLatin1(kHelpWindowName));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QString::fromStdString(scan::ProgramTitle) + QStringLiteral(" Help"));
    window->setWindowIcon(QApplication::windowIcon());
    auto* browser = new QTextBrowser(window);
    browser->setObjectName(QStringLiteral("HelpBrowser"));
    // Links to other pages stay here; links out of the help go to the
    // desktop (when it can open them).
    browser->setOpenLinks(true);
    browser->setOpenExternalLinks(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::close);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(browser);
    layout->addWidget(buttons);
    window->resize(640, 560);
    return window;
}

}  // namespace

QWidget* ShowHelpWindow(const QUrl& page) {
    if (!Window()) Window() = MakeWindow();
    QDialog* window = Window();
    auto* browser = window->findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
    browser->setSearchPaths({QFileInfo(page.toLocalFile()).absolutePath()});
    browser->setSource(page);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QTextBrowser* HelpBrowser() {
    return Window() ? Window()->findChild<QTextBrowser*>(QStringLiteral("HelpBrowser")) : nullptr;
}

void CloseHelpWindow() {
    if (Window()) delete Window().data();
}

}  // namespace dravik::shell
