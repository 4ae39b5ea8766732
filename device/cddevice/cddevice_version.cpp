#include <cstdio>
#include <string>

#include "device/cddevice/cddevice.h"
#include "device/cddevice/library_state.h"
#include "device/cddevice/module_version.h"
#include "device/transport/device_intf.h"

namespace dravik::device {

const char* CDDevice::GetIntfVersion() {
    std::string productVersion;
    if (!ModuleProductVersion(Library().ownModule, productVersion)) {
        textBuffer_[0] = '\0';
        return textBuffer_;
    }
    std::string transportVersion = transport_ ? transport_->GetVersion() : std::string();
    std::snprintf(textBuffer_, sizeof textBuffer_, "ZOLTDEV %s, %s", productVersion.c_str(),
                  transportVersion.c_str());
    return textBuffer_;
}

}  // namespace dravik::device
