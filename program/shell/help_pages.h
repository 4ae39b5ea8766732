// The help pages shipped with the program (a "help" folder beside "bin"),
// opened in the user's browser, and the other addresses the program opens.
#pragma once

#include <QHash>
#include <QString>
#include <QUrl>
#include <functional>

namespace dravik::shell {

// "<program folder>/../help/index.html"; empty when the pages are not
// installed there.
QString HelpIndexPath();
// The popup-text page of a language: "<help folder>/DRAVIK<code>.txt".
QString ContextHelpPath(const QString& languageCode);

// A numbered help topic's page ("options.html" for topic 1, "drives.html"
// for topic 4, the index for others); empty when not installed.
QString HelpTopicPath(int topic);
// Opens it (ShowHelpPage); false when it is not installed.
bool OpenHelpTopic(int topic);
// Opens a help page in the desktop's browser, or in the program's own help
// window when no browser opens it.
bool ShowHelpPage(const QString& path);

// The popup texts of a context-help file: lines ".topic N" start topic N,
// the lines after it (up to the next ".topic") are its text. At most
// kMaxContextHelpBytes are read; an unreadable file gives no topics.
constexpr qint64 kMaxContextHelpBytes = 1 << 20;
QHash<int, QString> ReadContextHelp(const QString& path);

// Opens an address with the desktop's handler (browser, mail program).
// Tests replace the opener.
using UrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpener(UrlOpener opener);
bool OpenUrl(const QUrl& url);

}  // namespace dravik::shell
