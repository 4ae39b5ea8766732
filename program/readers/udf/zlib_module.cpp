#include "program/readers/udf/zlib_module.h"

#include <dlfcn.h>

#include <mutex>

namespace dravik::readers::udf {

namespace {

constexpr char kModuleName[] = "libz.so.1";
constexpr int kWindowBits = 15;

std::mutex moduleNameLock;
std::string moduleName = kModuleName;

std::string ModuleName() {
    std::lock_guard lock(moduleNameLock);
    return moduleName;
}

template <typename Function>
bool Find(void* handle, const char* name, Function& out) {
    out = reinterpret_cast<Function>(::dlsym(handle, name));
    return out != nullptr;
}

}  // namespace

bool ZlibVersionCompatible(const char* version, const char* written) {
    return version && written && version[0] != '\0' && version[0] == written[0];
}

ZlibModule::~ZlibModule() { Unload(); }

void ZlibModule::Unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
    zlibVersion_ = nullptr;
    inflateInit2_ = nullptr;
    inflate_ = nullptr;
    inflateEnd_ = nullptr;
}

ZlibFailure ZlibModule::Load() {
    if (handle_) return ZlibFailure::kNone;
    handle_ = ::dlopen(ModuleName().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) return ZlibFailure::kNotLoaded;
    if (!Find(handle_, "zlibVersion", zlibVersion_) || !Find(handle_, "inflateInit2_", inflateInit2_) ||
        !Find(handle_, "inflate", inflate_) || !Find(handle_, "inflateEnd", inflateEnd_)) {
        Unload();
        return ZlibFailure::kEntryPointMissing;
    }
    if (!ZlibVersionCompatible(zlibVersion_(), kZlibVersionWritten)) {
        Unload();
        return ZlibFailure::kWrongVersion;
    }
    return ZlibFailure::kNone;
}

int ZlibModule::InflateInit(z_stream& stream) const {
    return inflateInit2_(&stream, kWindowBits, kZlibVersionWritten, static_cast<int>(sizeof(z_stream)));
}

namespace test_seams {
void SetZlibModuleName(const std::string& name) {
    std::lock_guard lock(moduleNameLock);
    moduleName = name.empty() ? kModuleName : name;
}
}  // namespace test_seams

}  // namespace dravik::readers::udf
