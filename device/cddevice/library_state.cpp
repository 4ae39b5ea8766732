#include "device/cddevice/library_state.h"

namespace dravik::device {

LibraryState& Library() {
    static LibraryState state;
    return state;
}

}  // namespace dravik::device
