#include "program/shell/advice_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QUrl>

#include "program/diag/debug_log.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/track_list.h"
#include "program/shell/form_loader.h"
#include "program/shell/help_pages.h"
#include "program/shell/language_text.h"

namespace dravik::shell {

namespace {

bool g_adviceEnabled = true;
QPointer<AdviceDialog> g_openAdvice;

}  // namespace

QString AdviceHtml(const QString& text) {
    static const QRegularExpression address(
        QStringLiteral(R"((https?://[^\s<>"]+|www\.[^\s<>"]+|[A-Za-z0-9._%+-]+@[A-Za-z0-9-]+(?:\.[A-Za-z0-9-]+)+))"));
    QString html;
    qsizetype done = 0;
    QRegularExpressionMatchIterator matches = address.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        QString found = match.captured(0);
        // A sentence's full stop or comma after an address is not part of it.
        while (!found.isEmpty() && QStringLiteral(".,;:!?)").contains(found.back())) found.chop(1);
        html += text.mid(done, match.capturedStart(0) - done).toHtmlEscaped();
        QString target = found;
        if (found.contains(QLatin1Char('@')) && !found.contains(QLatin1String("://")))
            target = QStringLiteral("mailto:") + found;
        else if (found.startsWith(QLatin1String("www.")))
            target = QStringLiteral("http://") + found;
        html += QStringLiteral("<a href=\"%1\">%2</a>").arg(target.toHtmlEscaped(), found.toHtmlEscaped());
        done = match.capturedStart(0) + found.size();
    }
    html += text.mid(done).toHtmlEscaped();
    html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return html;
}

AdviceDialog::AdviceDialog(QWidget* owner, app::AdvicePages pages, app::AdviceContacts contacts)
    : pages_(std::move(pages)), contacts_(std::move(contacts)) {
    std::unique_ptr<QWidget> form = LoadForm("163", owner);
    dialog_ = qobject_cast<QDialog*>(form.get());
    if (!dialog_) throw FormError("the dialog layout 163 is not a dialog");
    text_ = FormControl<QTextBrowser>(dialog_, 1087);
    previous_ = FormControl<QPushButton>(dialog_, 1139);
    next_ = FormControl<QPushButton>(dialog_, 1138);
    auto* close = FormControl<QPushButton>(dialog_, 1);
    form.release();
    setParent(dialog_);

    dialog_->setWindowIcon(QApplication::windowIcon());
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    // The text sits on the dialog's own colour, in a size easy to read.
    QPalette palette = text_->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    text_->setPalette(palette);
    QFont font = text_->font();
    font.setPointSize(11);
    text_->setFont(font);
    text_->setOpenLinks(false);
    connect(text_, &QTextBrowser::anchorClicked, this, [](const QUrl& link) { OpenUrl(link); });
    connect(previous_, &QPushButton::clicked, this, [this] {
        if (pages_.Previous()) Render();
    });
    connect(next_, &QPushButton::clicked, this, [this] {
        if (pages_.Next()) Render();
    });
    connect(close, &QPushButton::clicked, dialog_, &QDialog::accept);
    close->setDefault(true);
    Render();
}

void AdviceDialog::Render() {
    const QString topic = LanguageText(pages_.Current());
    const std::string expanded = app::ExpandAdviceText(topic.toStdString(), contacts_);
    text_->setHtml(AdviceHtml(QString::fromStdString(expanded)));
    previous_->setEnabled(!pages_.IsFirst());
    next_->setEnabled(!pages_.IsLast());
}

void ShowResultsAdvice(QWidget* owner) {
    if (!g_adviceEnabled) return;
    std::vector<unsigned> topics;
    {
        scan::CatalogueGuard hold;
        topics = app::ChooseAdviceTopics(scan::TrackListHead, app::ProgramAdviceFlags());
    }
    if (topics.empty()) return;
    if (AdviceDialog* open = OpenAdvice()) open->Dialog()->close();
    try {
        auto* advice = new AdviceDialog(owner, app::AdvicePages(std::move(topics)), app::ReadAdviceContacts());
        g_openAdvice = advice;
        advice->Dialog()->open();
    } catch (const FormError& error) {
        if (diag::DebugMode) diag::DebugPrint("The advice window cannot be shown: %s", error.what());
    }
}

AdviceDialog* OpenAdvice() {
    return g_openAdvice && g_openAdvice->Dialog() && g_openAdvice->Dialog()->isVisible() ? g_openAdvice.data() : nullptr;
}

void SetResultsAdviceEnabled(bool enabled) { g_adviceEnabled = enabled; }

}  // namespace dravik::shell
