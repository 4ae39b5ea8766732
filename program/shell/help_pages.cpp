#include "program/shell/help_pages.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QFileInfo>

#include "program/diag/data_files.h"
#include "program/diag/debug_log.h"
#include "program/shell/help_window.h"

namespace dravik::shell {

namespace {

UrlOpener& Opener() {
    static UrlOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return opener;
}

// help/ beside bin/ in the build tree, share/dravik/help installed.
QString HelpFolder() {
    return QDir::cleanPath(QFileInfo(QString::fromStdString(diag::FindDataFile("../help", "help"))).absoluteFilePath());
}

}  // namespace

QString HelpIndexPath() {
    QString index = HelpFolder() + QStringLiteral("/index.html");
    return QFileInfo::exists(index) ? index : QString();
}

QString ContextHelpPath(const QString& languageCode) {
    return HelpFolder() + QStringLiteral("/DRAVIK") + languageCode + QStringLiteral(".txt");
}

QString HelpTopicPath(int topic) {
    QString page;
    switch (topic) {
        case 1: page = QStringLiteral("options.html"); break;
        case 4: page = QStringLiteral("drives.html"); break;
        default: page = QStringLiteral("index.html"); break;
    }
    const QString path = HelpFolder() + QLatin1Char('/') + page;
    return QFileInfo::exists(path) ? path : QString();
}

bool OpenHelpTopic(int topic) {
    const QString path = HelpTopicPath(topic);
    if (path.isEmpty()) {
        if (diag::DebugMode) diag::DebugPrint("Help topic %d is not installed beside the program", topic);
        return false;
    }
    return ShowHelpPage(path);
}

bool ShowHelpPage(const QString& path) {
    const QUrl page = QUrl::fromLocalFile(path);
    if (OpenUrl(page)) return true;
    // No browser answered (no launcher on this desktop): the program's
    // own window shows the same page.
    if (diag::DebugMode) diag::DebugPrint("No browser opened the help; showing it in the help window");
    ShowHelpWindow(page);
    return true;
}

QHash<int, QString> ReadContextHelp(const QString& path) {
    QHash<int, QString> topics;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return topics;
    const QString text = QString::fromUtf8(file.read(kMaxContextHelpBytes));
    int topic = -1;
    QStringList lines;
    auto finish = [&] {
        if (topic >= 0) topics.insert(topic, lines.join(QLatin1Char(' ')).simplified());
        lines.clear();
    };
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String(".topic"))) {
            finish();
            bool ok = false;
            const int number = trimmed.mid(6).trimmed().toInt(&ok);
            topic = ok && number >= 0 ? number : -1;
            continue;
        }
        if (topic >= 0) lines.append(trimmed);
    }
    finish();
    return topics;
}

void SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }

bool OpenUrl(const QUrl& url) {
    if (diag::DebugMode) diag::DebugPrint("Opening %s", url.toString().toUtf8().constData());
    return Opener() ? Opener()(url) : false;
}

}  // namespace dravik::shell
