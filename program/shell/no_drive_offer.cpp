#include "program/shell/no_drive_offer.h"

#include <QMessageBox>
#include <QPushButton>

#include "program/scan/scan_state.h"

namespace dravik::shell {

QString NoDriveText() {
    return QStringLiteral(
        "No CD drive was found.\n\n"
        "Open a disc image (ISO, BIN/CUE, IMG or a disc description) to read it as if it were in a drive, "
        "or connect a drive and choose Select Drive from the File menu.");
}

bool OfferDiscImage(QWidget* owner) {
    QMessageBox box(QMessageBox::Information, QString::fromStdString(scan::ProgramTitle), NoDriveText(),
                    QMessageBox::NoButton, owner);
    box.setObjectName(QString::fromLatin1(kNoDriveDialogName));
    QPushButton* open = box.addButton(QString::fromLatin1(kOpenDiscImageButton), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Close);
    box.setDefaultButton(open);
    box.exec();
    return box.clickedButton() == open;
}

}  // namespace dravik::shell
