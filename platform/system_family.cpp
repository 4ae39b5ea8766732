#include "platform/system_family.h"

#include <strings.h>

#include <cstdlib>

namespace dravik::platform {

bool SystemIsWindows9x() {
    const char* value = std::getenv("DRAVIK_SYSTEM");
    return value && ::strcasecmp(value, "win9x") == 0;
}

}  // namespace dravik::platform
