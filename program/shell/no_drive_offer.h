// What Select Drive shows when the machine has no usable CD drive (the
// first start on many desktops): the message says so and offers
// "Open Disc Image..." at once instead of asking for a restart.
#pragma once

#include <QString>

class QWidget;

namespace dravik::shell {

constexpr char kNoDriveDialogName[] = "NoDriveFound";
constexpr char kOpenDiscImageButton[] = "Open Disc Image...";

// The message's text.
QString NoDriveText();
// Modal; true when the user chose "Open Disc Image...".
bool OfferDiscImage(QWidget* owner);

}  // namespace dravik::shell
