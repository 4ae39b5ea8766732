#include "program/shell/help_pages.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "program/diag/debug_log.h"

namespace dravik::shell {

namespace {

UrlOpener& Opener() {
    static UrlOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return opener;
}

QString HelpFolder() {
    QFileInfo program(QString::fromStdString(diag::ProgramPath()));
    return QDir::cleanPath(program.absolutePath() + QStringLiteral("/../help"));
}

}  // namespace

QString HelpIndexPath() {
    QString index = HelpFolder() + QStringLiteral("/index.html");
    return QFileInfo::exists(index) ? index : QString();
}

QString ContextHelpPath(const QString& languageCode) {
    return HelpFolder() + QStringLiteral("/DRAVIK") + languageCode + QStringLiteral(".txt");
}

void SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }

bool OpenUrl(const QUrl& url) {
    if (diag::DebugMode) diag::DebugPrint("Opening %s", url.toString().toUtf8().constData());
    return Opener() ? Opener()(url) : false;
}

}  // namespace dravik::shell
