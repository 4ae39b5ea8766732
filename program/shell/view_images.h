// The pictures of the tree and the list, drawn by the program at 16 and 48
// pixels. Their order is the views' image numbers.
#pragma once

#include <QIcon>

namespace dravik::shell {

// Tree images.
enum TreeImage { kTreeFolder = 0, kTreeFolderOpen = 1, kTreeFolderDeleted = 2 };
// List images.
enum ListImage {
    kListFolder = 0,
    kListFile = 1,
    kListFolderDeleted = 2,
    kListFileDeleted = 3,
    kListNoLocation = 4,  // start is -1: nothing to read
    kListDamaged = 5,     // shares an extent with another file, or its extent chain is broken
};

QIcon TreeIcon(int image);
QIcon ListIcon(int image);

}  // namespace dravik::shell
