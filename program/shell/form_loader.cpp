#include "program/shell/form_loader.h"

#include <QBuffer>
#include <QByteArray>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QUiLoader>

#include "program/app/language_resources.h"

namespace dravik::shell {

QString ControlName(int id) { return QStringLiteral("id%1").arg(id); }

std::unique_ptr<QWidget> LoadFormText(const std::string& name, const std::string& uiText, QWidget* parent) {
    if (uiText.empty()) throw FormError("the language module has no dialog layout " + name);
    QByteArray bytes(uiText.data(), static_cast<qsizetype>(uiText.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QUiLoader loader;
    QWidget* form = loader.load(&buffer, parent);
    if (!form)
        throw FormError("the dialog layout " + name + " cannot be built: " + loader.errorString().toStdString());
    if (form->objectName().toStdString() != name) {
        std::string found = form->objectName().toStdString();
        delete form;
        throw FormError("the dialog layout " + name + " names its form \"" + found + "\"");
    }
    return std::unique_ptr<QWidget>(form);
}

std::unique_ptr<QWidget> LoadForm(const std::string& name, QWidget* parent) {
    return LoadFormText(name, app::LanguageResource((name + ".ui").c_str()), parent);
}

QObject* FindFormObject(QWidget* form, const QString& objectName, const QMetaObject& type) {
    if (!form) throw FormError("no form to look up " + objectName.toStdString() + " in");
    QObject* found = form->findChild<QObject*>(objectName);
    const std::string where = "the dialog layout " + form->objectName().toStdString();
    if (!found) throw FormError(where + " has no control " + objectName.toStdString());
    if (!type.cast(found))
        throw FormError(where + ": control " + objectName.toStdString() + " is a " + found->metaObject()->className() +
                        ", not a " + type.className());
    return found;
}

const std::vector<FormUse>& FormsTheProgramUses() {
    static const std::vector<FormUse> forms = {
        {"MESSAGEBOX",
         {{ControlName(1087), &QLabel::staticMetaObject},
          {ControlName(1088), &QLabel::staticMetaObject},
          {ControlName(1), &QPushButton::staticMetaObject},
          {ControlName(2), &QPushButton::staticMetaObject},
          {ControlName(7), &QPushButton::staticMetaObject}}},
        {"SCANPROGRESS",
         {{ControlName(1116), &QLabel::staticMetaObject},
          {ControlName(200), &QProgressBar::staticMetaObject},
          {ControlName(2), &QPushButton::staticMetaObject}}},
        {"136",
         {{ControlName(1003), &QCheckBox::staticMetaObject},
          {ControlName(1004), &QCheckBox::staticMetaObject},
          {ControlName(1023), &QCheckBox::staticMetaObject},
          {ControlName(1048), &QCheckBox::staticMetaObject},
          {ControlName(1051), &QCheckBox::staticMetaObject},
          {ControlName(1055), &QCheckBox::staticMetaObject},
          {ControlName(1089), &QCheckBox::staticMetaObject},
          {ControlName(1096), &QCheckBox::staticMetaObject},
          {ControlName(1123), &QCheckBox::staticMetaObject},
          {ControlName(1126), &QCheckBox::staticMetaObject},
          {ControlName(1030), &QPushButton::staticMetaObject},
          {ControlName(1031), &QLabel::staticMetaObject},
          {ControlName(1118), &QPushButton::staticMetaObject},
          {ControlName(1119), &QPushButton::staticMetaObject},
          {ControlName(9), &QPushButton::staticMetaObject},
          {ControlName(1), &QPushButton::staticMetaObject},
          {ControlName(2), &QPushButton::staticMetaObject}}},
        {"SelectDrive",
         {{ControlName(101), &QListWidget::staticMetaObject},
          {ControlName(40061), &QPushButton::staticMetaObject},
          {ControlName(9), &QPushButton::staticMetaObject},
          {ControlName(1), &QPushButton::staticMetaObject},
          {ControlName(2), &QPushButton::staticMetaObject}}},
        {"163",
         {{ControlName(1087), &QTextBrowser::staticMetaObject},
          {ControlName(1139), &QPushButton::staticMetaObject},
          {ControlName(1138), &QPushButton::staticMetaObject},
          {ControlName(1), &QPushButton::staticMetaObject}}},
        {"ABOUT",
         {{QStringLiteral("picture"), &QLabel::staticMetaObject},
          {ControlName(0xFFFF), &QLabel::staticMetaObject},
          {ControlName(102), &QLabel::staticMetaObject},
          {ControlName(1), &QPushButton::staticMetaObject},
          {ControlName(1103), &QPushButton::staticMetaObject}}},
    };
    return forms;
}

}  // namespace dravik::shell
