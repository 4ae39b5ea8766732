#include "program/shell/message_box.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "program/shell/form_loader.h"

namespace dravik::shell {

namespace {

// Text is wrapped to this width at most. A narrower screen narrows it to
// two thirds of the screen so that a long line never pushes the buttons
// off the screen.
constexpr int kWrapWidth = 2000;
constexpr int kAutoAnswerPollMs = 250;

QPointer<QWidget> g_openBox;

QPushButton* Button(QWidget* form, int id) { return FormControl<QPushButton>(form, id); }

void SizeText(QLabel* label, const QString& text, QWidget* owner) {
    int wrap = kWrapWidth;
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) wrap = std::min(wrap, screen->availableGeometry().width() * 2 / 3);
    wrap = std::max(wrap, label->minimumWidth());
    QFontMetrics metrics(label->font());
    QRect box = metrics.boundingRect(QRect(0, 0, wrap, 100000), Qt::TextWordWrap, text);
    // A few pixels more than measured: a label wraps a word early when its
    // width equals the measured width exactly.
    label->setFixedSize(std::max(box.width() + 4, label->minimumWidth()),
                        std::max(box.height() + 2, label->minimumHeight()));
    label->setText(text);
}

}  // namespace

QWidget* OpenMessageBox() { return g_openBox.data(); }

void RunMessageBox(port::MessageDialog& dialog, QWidget* owner) {
    std::unique_ptr<QWidget> formOwner = LoadForm("MESSAGEBOX", owner);
    auto* form = qobject_cast<QDialog*>(formOwner.get());
    if (!form) throw FormError("the dialog layout MESSAGEBOX is not a dialog");
    auto* text = FormControl<QLabel>(form, 1087);
    auto* icon = FormControl<QLabel>(form, 1088);
    const int ids[] = {port::kButtonOk, port::kButtonNo, port::kButtonCancel};
    for (int id : ids) Button(form, id)->hide();

    form->setWindowTitle(QString::fromStdString(dialog.Caption()));
    form->setWindowIcon(QApplication::windowIcon());
    form->setWindowModality(Qt::ApplicationModal);
    QStyle::StandardPixmap symbol = dialog.Icon() == port::MessageIcon::Question ? QStyle::SP_MessageBoxQuestion
                                                                                 : QStyle::SP_MessageBoxWarning;
    const int side = form->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, form);
    icon->setPixmap(form->style()->standardIcon(symbol, nullptr, form).pixmap(side, side));
    SizeText(text, QString::fromStdString(dialog.Text()), owner);

    QEventLoop loop;
    for (const port::DialogButton& wanted : dialog.Buttons()) {
        QPushButton* button = Button(form, wanted.id);
        if (!wanted.label.empty()) button->setText(QString::fromStdString(wanted.label));
        button->setAutoDefault(false);
        button->show();
        const int id = wanted.id;
        QObject::connect(button, &QPushButton::clicked, form, [&dialog, &loop, id] {
            dialog.Press(id);
            loop.quit();
        });
    }
    QPushButton* byDefault = Button(form, dialog.DefaultButton());
    byDefault->setDefault(true);
    // Close box and Escape.
    QObject::connect(form, &QDialog::rejected, form, [&dialog, &loop] {
        dialog.Close();
        loop.quit();
    });
    QTimer autoAnswer;
    if (dialog.AutoAnswers()) {
        QObject::connect(&autoAnswer, &QTimer::timeout, form, [&dialog, &loop] {
            if (dialog.CheckAutoAnswer()) loop.quit();
        });
        autoAnswer.start(kAutoAnswerPollMs);
    }

    QPointer<QDialog> alive(form);
    g_openBox = form;
    form->show();
    byDefault->setFocus();
    form->activateWindow();
    if (!dialog.Finished()) loop.exec();
    autoAnswer.stop();
    g_openBox = nullptr;
    if (!alive) {
        // The owner went away meanwhile and took the dialog with it.
        formOwner.release();
        if (!dialog.Finished()) dialog.Close();
        return;
    }
    form->hide();
}

}  // namespace dravik::shell
