// The scan report: the track list and the catalogue, as an indented text
// tree or as JSON, as dravik-cli scan prints it and the disc information
// window saves it. Both leave out the directories' self and parent entries.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::scan {
struct ItemDate;
}

namespace dravik::app {

// Deeper directories are left out of both reports (the readers never
// build them).
inline constexpr int kMaxReportDepth = 512;

// Flag names without their Track/Item prefix, in lower case, in bit order.
std::vector<std::string> TrackFlagNames(std::uint32_t flags);
// The item's flag names appended to `out`, comma-separated, each in double
// quotes when `quoted`; false when no named flag is set (nothing appended).
bool AppendItemFlagNames(std::string& out, std::uint16_t flags, bool quoted);

// "YYYY-MM-DDTHH:MM:SS", with "+HH:MM" or "-HH:MM" when the date records
// an offset from Greenwich; empty for an item without a date.
std::string IsoDateText(const scan::ItemDate& date);
// The same appended to `out`; false (nothing appended) without a date.
bool AppendIsoDate(std::string& out, const scan::ItemDate& date);
// A number in decimal appended to `out`.
void AppendNumber(std::string& out, long long value);
// A Macintosh type or creator code ("TEXT") as UTF-8 from its Mac Roman
// bytes.
std::string MacCodeText(const std::array<std::uint8_t, 4>& code);

// Where a report goes, a piece at a time.
using ReportSink = std::function<void(std::string_view piece)>;

// The report text collected for a sink and handed over in pieces of about
// 64 KB, so the report of a disc with many files never sits in memory whole.
class ReportBuffer {
public:
    explicit ReportBuffer(const ReportSink& sink) : sink_(sink) { text_.reserve(kPieceBytes + kPieceBytes / 4); }
    ~ReportBuffer() { Flush(); }
    ReportBuffer(const ReportBuffer&) = delete;
    ReportBuffer& operator=(const ReportBuffer&) = delete;

    std::string& text() { return text_; }
    // Hands the text over once a piece is full; called between items.
    void Pass() {
        if (text_.size() >= kPieceBytes) Flush();
    }
    void Flush() {
        if (text_.empty()) return;
        sink_(text_);
        text_.clear();
    }

private:
    static constexpr std::size_t kPieceBytes = 64 * 1024;
    const ReportSink& sink_;
    std::string text_;
};

// The report of the current track list and VolumeName, written to `sink`
// while the catalogue is held.
void WriteScanReportText(const ReportSink& sink);
void WriteScanReportJson(const ReportSink& sink);
// The same reports whole, as one text.
std::string ScanReportText();
std::string ScanReportJson();

}  // namespace dravik::app
