#include "program/scan/posix_file_info.h"

#include <utility>

#include "program/scan/found_item.h"

namespace dravik::scan {

void SetPosixFileInfo(FoundItem* item, PosixFileInfo info) {
    if (!item) return;
    ReleasePosixFileInfo(item);
    item->posix = new PosixFileInfo(std::move(info));
}

const PosixFileInfo* ItemPosixFileInfo(const FoundItem* item) { return item ? item->posix : nullptr; }

const std::string* ItemLinkTarget(const FoundItem* item) {
    const PosixFileInfo* info = ItemPosixFileInfo(item);
    return info && info->symlink ? &info->linkTarget : nullptr;
}

void ReleasePosixFileInfo(FoundItem* item) {
    delete item->posix;
    item->posix = nullptr;
}

}  // namespace dravik::scan
