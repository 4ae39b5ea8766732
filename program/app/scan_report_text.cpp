// The scan report as an indented text tree: one line per track, then its
// catalogue, two blanks deeper per directory level.
#include <cstdio>
#include <string>

#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/mac_file_info.h"
#include "program/scan/posix_file_info.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/app/scan_report.h"

namespace dravik::app {

namespace {

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ",") + name;
    return text;
}

void AppendTextItem(ReportBuffer& buffer, const scan::FoundItem* item, int depth);

void AppendChildren(ReportBuffer& buffer, const scan::FoundItem* first, int depth) {
    for (const scan::FoundItem* item = first; item; item = item->next)
        if (!scan::IsHiddenEntry(item)) AppendTextItem(buffer, item, depth);
}

void AppendTextItem(ReportBuffer& buffer, const scan::FoundItem* item, int depth) {
    buffer.Pass();
    std::string& out = buffer.text();
    out.append(static_cast<std::size_t>(depth) * 2 + 2, ' ');
    out += item->Name();
    out += "  start ";
    AppendNumber(out, item->start);
    out += "  size ";
    AppendNumber(out, item->size);
    out += "  ";
    if (!AppendIsoDate(out, item->date)) out += scan::kNoDateText;
    if (const scan::MacFileInfo* mac = scan::ItemMacFileInfo(item)) {
        out += "  rsize ";
        AppendNumber(out, mac->resource.size);
        out += "  " + MacCodeText(mac->type) + "/" + MacCodeText(mac->creator);
    }
    if (const std::string* target = scan::ItemLinkTarget(item)) out += "  -> " + *target;
    if (const scan::PosixFileInfo* posix = scan::ItemPosixFileInfo(item); posix && posix->zisofs) out += "  zisofs";
    const std::size_t beforeFlags = out.size();
    out += "  [";
    if (AppendItemFlagNames(out, item->flags, false))
        out += ']';
    else
        out.resize(beforeFlags);
    out += '\n';
    if (depth < kMaxReportDepth) AppendChildren(buffer, item->firstChild, depth + 1);
}

}  // namespace

void WriteScanReportText(const ReportSink& sink) {
    scan::CatalogueGuard guard;
    ReportBuffer buffer(sink);
    std::string& out = buffer.text();
    out += "Volume: " + scan::VolumeName + "\n";
    for (const scan::TrackNode* node = scan::TrackListHead; node; node = node->next) {
        char line[160];
        std::snprintf(line, sizeof line, "Track %d  session %d  start %d  end %d  control 0x%02x", node->number,
                      node->session, node->start, node->end, node->control);
        out += line;
        const std::string flags = Joined(TrackFlagNames(node->flags));
        if (!flags.empty()) out += "  [" + flags + "]";
        out += '\n';
        if (node->rootItem) AppendTextItem(buffer, node->rootItem, 0);
    }
}

std::string ScanReportText() {
    std::string report;
    WriteScanReportText([&report](std::string_view piece) { report += piece; });
    return report;
}

}  // namespace dravik::app
