#include "program/scan/mac_file_info.h"

#include <utility>

#include "program/scan/found_item.h"

namespace dravik::scan {

void SetMacFileInfo(FoundItem* item, MacFileInfo info) {
    if (!item) return;
    ReleaseMacFileInfo(item);
    item->mac = new MacFileInfo(std::move(info));
}

const MacFileInfo* ItemMacFileInfo(const FoundItem* item) { return item ? item->mac : nullptr; }

void ReleaseMacFileInfo(FoundItem* item) {
    delete item->mac;
    item->mac = nullptr;
}

}  // namespace dravik::scan
