// The drive selection dialog (language-module dialog "SelectDrive"): one
// line per drive of the device list, "id  name" (and the image a virtual
// drive holds); drives the device check refused are listed grayed with
// the reason; a drive that is refused when chosen cannot be chosen (one
// still spinning up can); OK makes the chosen drive the one in use. The "Open
// Disc Image" button serves an image as a new virtual drive and adds it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QDialog;
class QListWidget;
class QWidget;

namespace dravik::device {
class CDDevice;
}

namespace dravik::shell {

constexpr int kDriveListControl = 101;
// The command and the dialog button that open a disc image.
constexpr int kOpenImageCommand = 40061;

// The image files a virtual drive reads: plain images of 2048- or
// 2352-byte blocks, cue sheets, CloneCD control files, disc descriptions,
// cdrdao tables of contents, CHD, Nero, Alcohol and DiscJuggler images.
constexpr const char* kImageExtensions[] = {"iso", "img", "bin", "cue", "ccd", "vdisc", "toc", "chd", "nrg", "mds", "cdi"};
// The open-image dialog's filter: every extension above in both cases.
QString ImageFilter();

// Asks the user for a disc image; the default dialog starts in the folder
// an image was last chosen from. empty when cancelled. The default shows
// a file dialog; tests replace it.
using ImagePathChooser = std::function<QString(QWidget* owner)>;
void SetImagePathChooser(ImagePathChooser chooser);
QString ChooseImagePath(QWidget* owner);

// Opens the image at `path` as a drive (AddImageDrive); on failure shows
// message 261 owned by `owner` (null: the main window) and returns null.
device::CDDevice* OpenImageDrive(const QString& path, QWidget* owner);

// The line a drive shows: "<id>  <name>", and "  (<image file>)" for a
// virtual drive.
QString DriveLine(device::CDDevice& device);

class SelectDriveDialog : public QObject {
    Q_OBJECT
public:
    // Loads the form (FormError when the module lacks it or a control).
    explicit SelectDriveDialog(QWidget* owner);
    ~SelectDriveDialog() override;

    // Modal. 1 when a drive was chosen, 0 when cancelled; with no drive in
    // the list, message 103 and 0 without showing the dialog.
    int Exec();
    QDialog* Dialog() const;
    QListWidget* Lines() const { return lines_; }

private:
    void Fill();
    void AddRefusedLines();
    void SelectionChanged();
    void Confirm();
    void OpenImage();
    int AddLine(device::CDDevice* device);

    std::unique_ptr<QWidget> form_;
    QListWidget* lines_ = nullptr;
};

}  // namespace dravik::shell
