// CDDevice::Initialize and Terminate: the library-wide start and stop, with
// the choice of transport and the crash marker in the ".DeviceIntf" key.
#include <cstdio>
#include <cstdlib>

#include "device/cddevice/cddevice.h"
#include "device/cddevice/library_state.h"
#include "device/cddevice/os_version.h"
#include "device/cddevice/transport_choice.h"
#include "device/regstore/registry_store.h"
#include "device/transport/device_intf.h"

namespace dravik::device {

namespace {

constexpr char kUseSPTI[] = "UseSPTI";
constexpr char kUseASPIOnly[] = "UseASPIOnly";
constexpr char kCrashDetect[] = "CrashDetect";

int SilentLog(int, ...) { return 0; }

// Logs the attempt line, then starts the transport; on success its
// prototype becomes the library's.
bool TryTransport(const TransportStarter& starter, const char* attemptLine, ResourceModule module,
                  MessageCallback log) {
    log(0, attemptLine);
    if (starter.start == nullptr || !starter.start(module, log)) return false;
    // A kind whose objects are not built yet cannot be chosen even when
    // its start succeeds.
    DeviceIntf* prototype = starter.create ? starter.create() : nullptr;
    if (prototype == nullptr) return false;
    Library().prototype = prototype;
    return true;
}

bool StartTransport(bool useSPTI, bool useASPIOnly, ResourceModule module, MessageCallback log) {
    const TransportStarters& transports = ActiveTransports();
    if (!useASPIOnly) {
        if (!useSPTI &&
            TryTransport(transports.kernelDriver, "!Device Interface initialization for ZOLTDACC", module, log))
            return true;
        if (TryTransport(transports.passThrough, "!Device Interface initialization for SPTIIntf", module, log))
            return true;
        if (TryTransport(transports.vxd, "!Device Interface initialization for ZOLTVXD", module, log))
            return true;
    }
    if (TryTransport(transports.aspi, "!Device Interface initialization for ASPI", module, log)) return true;
    log(0, "!All CD device interfaces failed to initialize");
    return false;
}

// The library's exit: a transport still started when the module (or the
// process) goes away is stopped, which also clears the crash marker. It is
// an exit handler registered by the first start rather than a destructor
// function of the module: handlers run in reverse order of registration,
// so this one runs before the settings store's own statics, which the
// first start has created by then, are destroyed. A destructor function
// would run after them.
void StopAtExit() {
    if (Library().prototype != nullptr) CDDevice::Terminate();
}

void RegisterExitOnce() {
    static bool registered = false;
    if (!registered) registered = std::atexit(StopAtExit) == 0;
}

}  // namespace

bool CDDevice::Initialize(ResourceModule resourceModule, MessageCallback log) {
    if (log == nullptr) log = SilentLog;
    LibraryState& library = Library();
    library.resourceModule = resourceModule;
    // A second start replaces the first transport rather than leaking it.
    if (library.prototype != nullptr) {
        library.prototype->Shutdown();
        delete library.prototype;
        library.prototype = nullptr;
    }
    OsVersion os = CurrentOsVersion();

    RegistryStore settings;
    settings.Open(kDeviceIntfKey);
    bool useSPTI = settings.ReadFlag(kUseSPTI, false);
    bool useASPIOnly = settings.ReadFlag(kUseASPIOnly, false);
    bool crashDetect = settings.ReadFlag(kCrashDetect, false);

    // A start that died while probing drives moves every later start from
    // the kernel driver to the pass-through transport.
    if (crashDetect && !useSPTI && os.platformId == kPlatformNT) {
        useSPTI = true;
        settings.WriteFlag(kUseSPTI, true);
    }
    // Cleared by VerifyDevice once it is through with a drive, and by
    // Terminate; still set at the next start only after a crash.
    settings.WriteFlag(kCrashDetect, true);

    char line[kTextBufferChars];
    std::snprintf(line, sizeof line, "!Device interface: OS=%d.%d.%d %s (%d)Chk:%d,UseSPTI:%d,UseASPIOnly:%d",
                  os.major, os.minor, os.build, os.servicePack.c_str(), os.platformId, crashDetect ? 1 : 0,
                  useSPTI ? 1 : 0, useASPIOnly ? 1 : 0);
    log(0, line);

    bool started = StartTransport(useSPTI, useASPIOnly, resourceModule, log);
    settings.Close();
    RegisterExitOnce();
    return started;
}

void CDDevice::Terminate() {
    {
        RegistryStore settings;
        settings.Open(kDeviceIntfKey);
        settings.WriteFlag(kCrashDetect, false);
        settings.Close();
    }
    LibraryState& library = Library();
    if (library.prototype != nullptr) {
        library.prototype->Shutdown();
        delete library.prototype;
        library.prototype = nullptr;
    }
}

}  // namespace dravik::device
