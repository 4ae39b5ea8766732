// Dialog layouts come from the language module as Qt Designer .ui text. A
// control's number is its object name ("id1087"). A form or a control the
// program needs that is missing is an installation error that must not be
// papered over: the helpers here throw FormError naming both.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace dravik::shell {

class FormError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The object name of control `id`: "id" + the number.
QString ControlName(int id);

// Builds the form "<name>.ui" of the language module under `parent`
// (whose window it becomes when `parent` is null). Throws FormError when
// the module lacks the form or Qt cannot build it.
std::unique_ptr<QWidget> LoadForm(const std::string& name, QWidget* parent = nullptr);
// The same from .ui text (tests, other sources).
std::unique_ptr<QWidget> LoadFormText(const std::string& name, const std::string& uiText, QWidget* parent);

// The control named `objectName` of `form`, of class T. Throws FormError
// when the form has no such control or it is not a T.
QObject* FindFormObject(QWidget* form, const QString& objectName, const QMetaObject& type);
template <typename T>
T* FormControl(QWidget* form, const QString& objectName) {
    return static_cast<T*>(FindFormObject(form, objectName, T::staticMetaObject));
}
template <typename T>
T* FormControl(QWidget* form, int id) {
    return FormControl<T>(form, ControlName(id));
}

// Every form the program loads and the controls it looks up in each (with
// the class it expects), so that a test can check a language module whole.
struct FormControlUse {
    QString name;
    const QMetaObject* type;
};
struct FormUse {
    std::string form;
    std::vector<FormControlUse> controls;
};
const std::vector<FormUse>& FormsTheProgramUses();

}  // namespace dravik::shell
