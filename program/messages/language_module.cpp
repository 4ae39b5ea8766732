#include "program/messages/language_module.h"

#include <dlfcn.h>
#include <unistd.h>

namespace dravik::messages {

namespace {
std::string ExecutableFolder() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
}  // namespace

LanguageModule::~LanguageModule() { Unload(); }

void LanguageModule::Unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
    getString_ = nullptr;
    getCode_ = nullptr;
    path_.clear();
}

bool LanguageModule::Open(const std::string& name, std::string& why) {
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* text = ::dlerror();
        why = text ? text : ("cannot load " + name);
        return false;
    }
    auto getString = reinterpret_cast<const char* (*)(unsigned)>(::dlsym(handle, "GetLanguageString"));
    if (!getString) {
        why = name + " has no GetLanguageString";
        ::dlclose(handle);
        return false;
    }
    Unload();
    handle_ = handle;
    getString_ = getString;
    // A module without a language code still serves its texts.
    getCode_ = reinterpret_cast<const char* (*)()>(::dlsym(handle, "GetLanguageCode"));
    path_ = name;
    error_.clear();
    return true;
}

bool LanguageModule::Load() {
    std::string besideProgram, bySearch;
    std::string folder = ExecutableFolder();
    if (!folder.empty() && Open(folder + "/" + kLanguageModuleName, besideProgram)) return true;
    // Installed, the libraries are in lib/ beside bin/. Named here rather
    // than left to the run path: a sanitizer's dlopen searches its own.
    std::string installed;
    if (!folder.empty() && Open(folder + "/../lib/" + kLanguageModuleName, installed)) return true;
    if (Open(kLanguageModuleName, bySearch)) return true;
    error_ = "the language module " + std::string(kLanguageModuleName) + " could not be loaded (" +
             (besideProgram.empty() ? bySearch : besideProgram + "; " + bySearch) + ")";
    return false;
}

bool LanguageModule::LoadFrom(const std::string& path) {
    std::string why;
    if (Open(path, why)) return true;
    error_ = "the language module " + path + " could not be loaded (" + why + ")";
    return false;
}

std::string LanguageModule::Text(unsigned id) const {
    if (!getString_) return {};
    const char* text = getString_(id);
    return text ? std::string(text) : std::string();
}

std::string LanguageModule::LanguageCode() const {
    if (!getCode_) return {};
    const char* code = getCode_();
    return code ? std::string(code) : std::string();
}

LanguageModule& ProgramLanguage() {
    static LanguageModule module;
    return module;
}

}  // namespace dravik::messages
