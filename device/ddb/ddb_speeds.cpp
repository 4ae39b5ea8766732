// The write-speed lists. Each is a table of 30 entries: the group 1
// speeds, a 0 separator, the group 2 speeds, then the end mark 0xFFFF.
// Both groups stay ascending and free of duplicates.
//
// The end mark is never given up: when the table is full a new speed is
// not inserted (dropping the last entry would drop the end mark, and a
// list without one would be read past its table). Drives report far fewer
// speeds than the table holds, so nothing useful is lost.
#include "device/ddb/ddb_info.h"

namespace dravik::device {

using namespace ddb;

namespace {

constexpr int kEntries = DDBInfo::kListEntries;
constexpr uint16_t kEnd = DDBInfo::kListEnd;

int EndIndex(const uint16_t* table) {
    for (int i = 0; i < kEntries; ++i)
        if (table[i] == kEnd) return i;
    return kEntries - 1;   // cannot happen: every writer of a table ends it
}

// First entry of group 2, or -1 when the list has no separator.
int SecondGroupStart(const uint16_t* table, int end) {
    for (int i = 0; i < end; ++i)
        if (table[i] == 0) return i + 1;
    return -1;
}

void InsertSpeed(uint16_t* table, int speed, bool group2) {
    // 0 and 0xFFFF are the separator and the end mark, not speeds.
    if (speed <= 0 || speed >= kEnd) return;
    const uint16_t value = static_cast<uint16_t>(speed);
    int end = EndIndex(table);
    if (end == 0) {
        table[0] = group2 ? 0 : value;
        table[1] = group2 ? value : 0;
        table[2] = kEnd;
        return;
    }
    int start = 0;
    if (group2) {
        start = SecondGroupStart(table, end);
        if (start < 0) {
            // A list read from the file may lack the separator: add it.
            if (end + 2 >= kEntries) return;
            table[end] = 0;
            table[end + 1] = value;
            table[end + 2] = kEnd;
            return;
        }
    }
    int at = start;
    while (at < end && table[at] != 0 && table[at] < value) ++at;
    if (at < end && table[at] == value) return;
    if (end + 1 >= kEntries) return;   // full: keep the end mark
    for (int i = end; i >= at; --i) table[i + 1] = table[i];
    table[at] = value;
}

}  // namespace

void DDBInfo::SetDeviceWriteSpeed(int speed, bool group2) { InsertSpeed(lists_[kWSpd], speed, group2); }

void DDBInfo::SetDVDWriteSpeed(int speed, bool group2) { InsertSpeed(lists_[kWDVDSpd], speed, group2); }

int DDBInfo::GetDeviceWriteSpeed(int index, bool group2) const {
    const uint16_t* table = lists_[kWSpd];
    int end = EndIndex(table);
    if (index == -1 && end == 0) return -1;
    int start = 0;
    if (group2) {
        start = SecondGroupStart(table, end);
        if (start < 0) return 0;
    }
    int length = 0;
    while (start + length < end && table[start + length] != 0) ++length;
    if (length == 0) return 0;
    if (index == -1) return table[start + length - 1];
    if (index < 0 || index >= length) return 0;
    return table[start + index];
}

}  // namespace dravik::device
