#include "program/app/settings_store.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "device/regstore/registry_store.h"
#include "program/diag/debug_log.h"

namespace dravik::app {

namespace {

using settings::Settings;

// A decimal number with an optional sign, as "%d" reads it: leading blanks
// skipped, at least one digit. Advances `at` past it.
bool ReadDecimal(const std::string& text, std::size_t& at, int& value) {
    std::size_t i = at;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const std::size_t digits = i;
    long long number = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        number = number * 10 + (text[i++] - '0');
        if (number > 0x7FFFFFFFLL) return false;  // too large for a placement or a width
    }
    if (i == digits) return false;
    value = static_cast<int>(negative ? -number : number);
    at = i;
    return true;
}

bool ReadLiteral(const std::string& text, std::size_t& at, char c) {
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
}

}  // namespace

const std::array<StoredSwitch, 9>& StoredSwitches() {
    static const std::array<StoredSwitch, 9> switches = {{
        {"RemoveVersion", &Settings::RemoveVersion},
        {"IgnoreJoliet", &Settings::IgnoreJoliet},
        {"CopyPrompt", &Settings::CopyPrompt},
        {"SavePos", &Settings::SavePos},
        {"SortInitial", &Settings::SortInitial},
        {"AcceptErrors", &Settings::AcceptErrors},
        {"KeepUDFDups", &Settings::KeepUDFDups},
        {"AutoStart", &Settings::AutoStart},
        {"ShowAll", &Settings::ShowAll},
    }};
    return switches;
}

void ParseGuideUser(const std::string& text, std::uint8_t (&answers)[settings::kGuidanceAnswers]) {
    for (std::uint8_t& answer : answers) answer = settings::kNoGuidanceAnswer;
    if (text.empty()) return;
    std::size_t at = 0;
    for (int piece = 0; piece < settings::kGuidanceAnswers && at <= text.size(); ++piece) {
        std::size_t comma = text.find(',', at);
        if (comma == std::string::npos) comma = text.size();
        const std::string part = text.substr(at, comma - at);
        // Read as atoi would: a malformed piece counts as 0.
        answers[piece] = std::strtol(part.c_str(), nullptr, 10) != 0 ? 1 : 0;
        at = comma + 1;
    }
}

std::string FormatGuideUser(const std::uint8_t (&answers)[settings::kGuidanceAnswers]) {
    std::string text;
    for (int i = 0; i < settings::kGuidanceAnswers; ++i) {
        if (i) text += ',';
        text += answers[i] ? '1' : '0';
    }
    return text;
}

std::string NormaliseTempPath(std::string path) {
    // An empty folder would make "/" the place for work files.
    if (path.empty()) return Settings::DefaultTempPath();
    if (path.size() > settings::kMaxTempPath - 1) path.resize(settings::kMaxTempPath - 1);
    if (path.back() != '/') path += '/';
    return path;
}

void ReadSettings() {
    Settings& s = settings::ProgramSettings;
    ::RegistryStore store;
    store.Open(kProgramKeyName);
    // A closed store answers every read with its default.
    if (store.ReadFlag(kDebugModeValue, false)) diag::DebugMode = true;
    for (const StoredSwitch& entry : StoredSwitches())
        s.*entry.member = store.ReadFlag(entry.value, s.*entry.member != 0) ? 1 : 0;
    s.PromptSuppress = 1;
    ParseGuideUser(store.ReadString(kGuideUserValue, ""), s.GuideUser);
    std::string system = Settings::DefaultTempPath();
    if (system.size() > kMaxSystemTempPath) system.resize(kMaxSystemTempPath);
    s.TempPath = NormaliseTempPath(store.ReadString(kTempPathValue, system.c_str()));
}

void WriteSettings() {
    const Settings& s = settings::ProgramSettings;
    ::RegistryStore store;
    if (!store.Open(kProgramKeyName)) return;
    store.WriteFlag(kDebugModeValue, diag::DebugMode);
    for (const StoredSwitch& entry : StoredSwitches()) store.WriteFlag(entry.value, s.*entry.member != 0);
    store.WriteString(kGuideUserValue, FormatGuideUser(s.GuideUser).c_str());
}

std::string FormatWindowPlacement(const WindowPlacement& p) {
    char text[160];
    std::snprintf(text, sizeof text, "%d,%d,(%d,%d),(%d,%d).(%d,%d,%d,%d)", p.flags, p.showState, p.minX, p.minY,
                  p.maxX, p.maxY, p.left, p.top, p.right, p.bottom);
    return text;
}

std::optional<WindowPlacement> ParseWindowPlacement(const std::string& text) {
    WindowPlacement p;
    std::size_t at = 0;
    bool ok = ReadDecimal(text, at, p.flags) && ReadLiteral(text, at, ',') && ReadDecimal(text, at, p.showState) &&
              ReadLiteral(text, at, ',') && ReadLiteral(text, at, '(') && ReadDecimal(text, at, p.minX) &&
              ReadLiteral(text, at, ',') && ReadDecimal(text, at, p.minY) && ReadLiteral(text, at, ')') &&
              ReadLiteral(text, at, ',') && ReadLiteral(text, at, '(') && ReadDecimal(text, at, p.maxX) &&
              ReadLiteral(text, at, ',') && ReadDecimal(text, at, p.maxY) && ReadLiteral(text, at, ')') &&
              ReadLiteral(text, at, '.') && ReadLiteral(text, at, '(') && ReadDecimal(text, at, p.left) &&
              ReadLiteral(text, at, ',') && ReadDecimal(text, at, p.top) && ReadLiteral(text, at, ',') &&
              ReadDecimal(text, at, p.right) && ReadLiteral(text, at, ',') && ReadDecimal(text, at, p.bottom);
    if (!ok) return std::nullopt;
    return p;
}

ColumnWidths ParseColumnWidths(const std::string& text) {
    ColumnWidths widths = kDefaultColumnWidths;
    std::size_t at = 0;
    for (int i = 0; i < kColumnCount; ++i) {
        if (i > 0 && !ReadLiteral(text, at, ',')) break;
        int value = 0;
        if (!ReadDecimal(text, at, value)) break;
        // A width no screen can show is a damaged value, not a choice.
        if (value >= 0 && value <= kMaxColumnWidth) widths[i] = value;
    }
    return widths;
}

std::string FormatColumnWidths(const ColumnWidths& widths) {
    char text[80];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d", widths[0], widths[1], widths[2], widths[3], widths[4]);
    return text;
}

std::string ReadProgramString(const char* name, const char* defaultText) {
    ::RegistryStore store;
    store.Open(kProgramKeyName);
    return store.ReadString(name, defaultText);
}

void WriteProgramString(const char* name, const std::string& text) {
    ::RegistryStore store;
    if (store.Open(kProgramKeyName)) store.WriteString(name, text.c_str());
}

std::uint32_t ReadProgramNumber(const char* name, std::uint32_t defaultValue) {
    ::RegistryStore store;
    store.Open(kProgramKeyName);
    return store.ReadNumber(name, defaultValue);
}

void WriteProgramNumber(const char* name, std::uint32_t value) {
    ::RegistryStore store;
    if (store.Open(kProgramKeyName)) store.WriteNumber(name, value);
}

void RemoveTempFiles() {
    namespace fs = std::filesystem;
    const fs::path folder = settings::ProgramSettings.TempPath + kProgramKeyName;
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(folder, error))) return;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::error_code status;
        // Plain files only: links and subfolders stay.
        if (!fs::is_regular_file(entry.symlink_status(status))) continue;
        std::error_code removal;
        fs::remove(entry.path(), removal);
        if (removal && diag::DebugMode)
            diag::DebugPrint("Temporary file %s not removed: %s", entry.path().c_str(), removal.message().c_str());
    }
}

}  // namespace dravik::app
