// The help pages shipped with the program (a "help" folder beside "bin"),
// opened in the user's browser, and the other addresses the program opens.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace dravik::shell {

// "<program folder>/../help/index.html"; empty when the pages are not
// installed there.
QString HelpIndexPath();
// The popup-text page of a language: "<help folder>/DRAVIK<code>.txt".
QString ContextHelpPath(const QString& languageCode);

// Opens an address with the desktop's handler (browser, mail program).
// Tests replace the opener.
using UrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpener(UrlOpener opener);
bool OpenUrl(const QUrl& url);

}  // namespace dravik::shell
