// The description lines of a recording drive: DVD+RW discs with their
// background format, and the busy polls of long operations.
#include <gtest/gtest.h>

#include "vdrive/image_loader.h"

using namespace dravik::vdrive;

namespace {

TEST(RecordingDescription, LinesAreReadOrRefusedWithTheirLine) {
    struct Row {
        const char* text;
        bool loads;
        int errorLine;
    } rows[] = {
        {"medium dvd+rw\nblank\nbackground-format running\n", true, 0},
        {"medium dvd+rw\nblank\n", true, 0},
        {"medium cd-rw\nblank\nbusy 12\nwrite-busy 3\n", true, 0},
        {"medium dvd+rw\ntrack mode1 zero length 10\n", false, 0},
        {"medium cd-r\nblank\nbusy many\n", false, 3},
        {"medium cd-r\nblank\nwrite-busy -1\n", false, 3},
        {"medium dvd+rw\nblank\nbackground-format half\n", false, 3},
        {"medium dvd-ram\nblank\n", false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        LoadedImage image;
        LoadError error;
        EXPECT_EQ(ParseDescription("/tmp/disc.vdisc", row.text, image, error), row.loads) << error.Text();
        if (!row.loads) {
            EXPECT_EQ(error.line, row.errorLine);
        }
    }
}

TEST(RecordingDescription, DvdPlusRwAndBusyPollsReachTheDiscAndTheDrive) {
    LoadedImage image;
    LoadError error;
    ASSERT_TRUE(ParseDescription("/tmp/disc.vdisc", "medium dvd+rw\nblank\nbackground-format stopped\nbusy 7\nwrite-busy 2\n",
                                 image, error))
        << error.Text();
    EXPECT_EQ(image.disc->medium, Medium::kDvdPlusRw);
    EXPECT_EQ(image.disc->format, BackgroundFormat::kStopped);
    EXPECT_TRUE(image.disc->tracks.empty());
    EXPECT_EQ(image.drive.busyPolls, 7);
    EXPECT_EQ(image.drive.writeBusyPolls, 2);
}

}  // namespace
