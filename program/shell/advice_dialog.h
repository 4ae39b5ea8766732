// The advice window after a scan, on the language module's layout "163":
// one page of advice text a topic (links open in the desktop's browser or
// mail program), Previous and Next between the pages, Close.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "program/app/results_advice.h"

class QDialog;
class QPushButton;
class QTextBrowser;
class QUrl;

namespace dravik::shell {

class AdviceDialog : public QObject {
    Q_OBJECT
public:
    // Builds the dialog (hidden) on its first page; it deletes itself, and
    // this object, when closed. Throws FormError when the layout lacks a
    // control.
    AdviceDialog(QWidget* owner, app::AdvicePages pages, app::AdviceContacts contacts);

    QDialog* Dialog() const { return dialog_; }
    QTextBrowser* Text() const { return text_; }
    QPushButton* PreviousButton() const { return previous_; }
    QPushButton* NextButton() const { return next_; }
    const app::AdvicePages& Pages() const { return pages_; }

private:
    void Render();

    QPointer<QDialog> dialog_;
    QTextBrowser* text_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    app::AdvicePages pages_;
    app::AdviceContacts contacts_;
};

// Plain advice text as rich text: web addresses ("http://", "https://",
// "www.") and mail addresses become links, line breaks stay.
QString AdviceHtml(const QString& text);

// Chooses the topics for the track list of the scan just ended and, when
// there are any, opens the advice window over `owner`: modal to it, but
// this returns at once so the scan's end is not held up. An advice window
// still open from an earlier scan is closed first.
void ShowResultsAdvice(QWidget* owner);
// The advice window now open, or null.
AdviceDialog* OpenAdvice();

// Whether scans end with the advice window (on by default; the graphical
// tests, which scan many discs, turn it off and back on where they look
// at it).
void SetResultsAdviceEnabled(bool enabled);

}  // namespace dravik::shell
