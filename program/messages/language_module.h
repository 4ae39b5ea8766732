// The language module (liblangres.so) holds every user-visible text by
// number. It is loaded at run time from the program's own folder first,
// then through the ordinary library search, so that a translation replaces
// one file.
#pragma once

#include <string>

namespace dravik::messages {

constexpr char kLanguageModuleName[] = "liblangres.so";

class LanguageModule {
public:
    LanguageModule() = default;
    ~LanguageModule();
    LanguageModule(const LanguageModule&) = delete;
    LanguageModule& operator=(const LanguageModule&) = delete;

    // Loads "liblangres.so" from the folder of /proc/self/exe, else from
    // ../lib beside it (installed), else by the ordinary search. False (with LoadError() saying why) when neither works
    // or the module lacks GetLanguageString.
    bool Load();
    // Loads the module at `path` (tests, other installs).
    bool LoadFrom(const std::string& path);
    void Unload();

    bool Loaded() const { return getString_ != nullptr; }
    const std::string& LoadError() const { return error_; }
    // The file the module was loaded from.
    const std::string& Path() const { return path_; }

    // The text with that number; empty when it is missing or no module is
    // loaded.
    std::string Text(unsigned id) const;
    // The module's language code ("ENU"); empty when unknown.
    std::string LanguageCode() const;

private:
    bool Open(const std::string& name, std::string& why);

    void* handle_ = nullptr;
    const char* (*getString_)(unsigned) = nullptr;
    const char* (*getCode_)() = nullptr;
    std::string error_;
    std::string path_;
};

// The program-wide module (loaded by start-up; ShowMessage reads from it).
LanguageModule& ProgramLanguage();

}  // namespace dravik::messages
