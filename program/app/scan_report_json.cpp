// The scan report as JSON:
//   {"volume": text, "tracks": [{"number", "session", "start", "end",
//    "control", "flags": [names], "root": item or null}]}; a track read
//    through a VAT also has "vat" (the block of the VAT's File Entry) and
//    "vatFallbacks" (how many newer VATs were given up for it)
//   item = {"name", "start", "size", "date" (ISO 8601 or null), "fsId",
//           "flags": [names], "children": [items]}; an HFS file also has
//           "rsize" (its resource fork's size), "type" and "creator"
// Names come from discs: bytes that are not UTF-8 become U+FFFD, so the
// output is always valid JSON.
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/utf8_text.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/mac_file_info.h"
#include "program/scan/posix_file_info.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/app/scan_report.h"

namespace dravik::app {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

void AppendString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            const std::size_t length = dravik::text::Utf8SequenceLength(text, at);
            if (length == 0) {
                out += kReplacement;
                ++at;
            } else {
                out.append(text.substr(at, length));
                at += length;
            }
            continue;
        }
        if (c >= 0x20 && c != 0x7F && c != '"' && c != '\\') {
            // A run of characters that stand as they are.
            std::size_t end = at + 1;
            while (end < text.size()) {
                const unsigned char next = static_cast<unsigned char>(text[end]);
                if (next < 0x20 || next >= 0x7F || next == '"' || next == '\\') break;
                ++end;
            }
            out.append(text.substr(at, end - at));
            at = end;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else {  // control characters
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        }
        ++at;
    }
    out += '"';
}

void AppendNames(std::string& out, const std::vector<std::string>& names) {
    out += '[';
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) out += ',';
        AppendString(out, names[i]);
    }
    out += ']';
}

void AppendJsonItem(ReportBuffer& buffer, const scan::FoundItem* item, int depth) {
    buffer.Pass();
    std::string& out = buffer.text();
    out += "{\"name\":";
    AppendString(out, item->Name());
    out += ",\"start\":";
    AppendNumber(out, item->start);
    out += ",\"size\":";
    AppendNumber(out, item->size);
    // The date's text has nothing to escape.
    out += ",\"date\":\"";
    if (!AppendIsoDate(out, item->date)) {
        out.pop_back();
        out += "null";
    } else {
        out += '"';
    }
    out += ",\"fsId\":";
    AppendNumber(out, item->fsId);
    if (const scan::MacFileInfo* mac = scan::ItemMacFileInfo(item)) {
        out += ",\"rsize\":";
        AppendNumber(out, mac->resource.size);
        out += ",\"type\":";
        AppendString(out, MacCodeText(mac->type));
        out += ",\"creator\":";
        AppendString(out, MacCodeText(mac->creator));
    }
    if (const std::string* target = scan::ItemLinkTarget(item)) {
        out += ",\"link\":";
        AppendString(out, *target);
    }
    if (const scan::PosixFileInfo* posix = scan::ItemPosixFileInfo(item); posix && posix->zisofs) {
        out += ",\"storedSize\":";
        AppendNumber(out, posix->compressed.storedSize);
    }
    out += ",\"flags\":[";
    AppendItemFlagNames(out, item->flags, true);
    out += "],\"children\":[";
    bool first = true;
    if (depth < kMaxReportDepth) {
        for (const scan::FoundItem* child = item->firstChild; child; child = child->next) {
            if (scan::IsHiddenEntry(child)) continue;
            if (!first) out += ',';
            first = false;
            AppendJsonItem(buffer, child, depth + 1);
        }
    }
    out += "]}";
}

}  // namespace

void WriteScanReportJson(const ReportSink& sink) {
    scan::CatalogueGuard guard;
    ReportBuffer buffer(sink);
    std::string& out = buffer.text();
    out += "{\"volume\":";
    AppendString(out, scan::VolumeName);
    out += ",\"tracks\":[";
    for (const scan::TrackNode* node = scan::TrackListHead; node; node = node->next) {
        if (node != scan::TrackListHead) out += ',';
        out += "{\"number\":" + std::to_string(node->number);
        out += ",\"session\":" + std::to_string(node->session);
        out += ",\"start\":" + std::to_string(node->start);
        out += ",\"end\":" + std::to_string(node->end);
        out += ",\"control\":" + std::to_string(node->control);
        out += ",\"flags\":";
        AppendNames(out, TrackFlagNames(node->flags));
        if (node->vatBlock != 0 || node->vatFallbacks != 0) {
            out += ",\"vat\":" + std::to_string(node->vatBlock);
            out += ",\"vatFallbacks\":" + std::to_string(node->vatFallbacks);
        }
        out += ",\"root\":";
        if (node->rootItem)
            AppendJsonItem(buffer, node->rootItem, 0);
        else
            out += "null";
        out += '}';
    }
    out += "]}\n";
}

std::string ScanReportJson() {
    std::string report;
    WriteScanReportJson([&report](std::string_view piece) { report += piece; });
    return report;
}

}  // namespace dravik::app
