// Clean-up of the drive names that INQUIRY pads with blanks.
#include <cstring>

#include "device/cddevice/cddevice.h"

namespace dravik::device {

char* CDDevice::strip(char* s) {
    if (s == nullptr) return s;
    size_t length = std::strlen(s);
    // The first character stays even when it is a blank: a name is never
    // stripped to nothing.
    while (length > 1 && s[length - 1] == ' ') s[--length] = '\0';
    return s;
}

char* CDDevice::SingleSpace(char* s) {
    if (s == nullptr) return s;
    char* out = s;
    bool afterBlank = false;
    for (const char* in = s; *in != '\0'; ++in) {
        if (*in == ' ' && afterBlank) continue;
        afterBlank = *in == ' ';
        *out++ = *in;
    }
    *out = '\0';
    return s;
}

}  // namespace dravik::device
