// The Disc Information window (command 40036): the drive, the medium and
// one row per track of the last scan, and "Save Report..." which writes
// the scan report as JSON (the same as dravik-cli scan --json), or the
// window's report as text when the chosen name ends in ".txt". It is the
// window a user sends when asking for help.
#pragma once

#include <QDialog>

#include "program/app/disc_report.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace dravik::shell {

class MainWindow;

class DiscInfoWindow : public QDialog {
    Q_OBJECT
public:
    DiscInfoWindow(QWidget* owner, app::DiscReport report);

    // Writes the report to `path` (text for ".txt", else JSON); false
    // (after telling the user) when it cannot be written.
    bool SaveReport(const QString& path);

    QLabel* DriveLabel() const { return drive_; }
    QLabel* MediumLabel() const { return medium_; }
    QTableWidget* Tracks() const { return tracks_; }
    QPushButton* SaveButton() const { return save_; }

    // The columns of the track table.
    enum Column { kNumber, kSession, kStart, kEnd, kMode, kControl, kFlags, kFileSystem, kVolume, kFiles, kBytes, kVat, kColumns };

private:
    app::DiscReport report_;
    QLabel* drive_;
    QLabel* medium_;
    QTableWidget* tracks_;
    QPushButton* save_;
};

// Command 40036: the window over the selected drive and the last scan.
void ShowDiscInformation(MainWindow& window);

}  // namespace dravik::shell
