#include "program/extract/item_paths.h"

#include <vector>

#include "program/extract/safe_names.h"

namespace dravik::extract {

namespace {

// Every "/"-separated part without its ISO version.
std::string WithoutVersions(std::string_view path) {
    std::string out;
    std::size_t at = 0;
    for (;;) {
        const std::size_t slash = path.find('/', at);
        const std::string_view part = path.substr(at, slash == std::string_view::npos ? path.npos : slash - at);
        out += WithoutIsoVersion(part);
        if (slash == std::string_view::npos) return out;
        out += '/';
        at = slash + 1;
    }
}

std::string_view Trimmed(std::string_view path) {
    while (!path.empty() && path.front() == '/') path.remove_prefix(1);
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    return path;
}

bool SamePath(std::string_view a, std::string_view b) { return a == b || WithoutVersions(a) == WithoutVersions(b); }

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(int year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

}  // namespace

std::string ItemPathText(const scan::FoundItem* item) {
    std::vector<const char*> names;
    for (const scan::FoundItem* up = item; up && up->parent; up = up->parent) names.push_back(up->Name());
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!path.empty()) path += '/';
        path += *it;
    }
    return path;
}

std::string TrackFolderText(const scan::FoundItem* root) {
    std::string_view name = root->Name();
    if (StartsWith(name, "\\ ")) name.remove_prefix(2);
    return std::string(name);
}

bool PathSelects(std::string_view wanted, const scan::FoundItem* root, const std::string& itemPath) {
    wanted = Trimmed(wanted);
    if (wanted.empty()) return false;
    const std::string rootName = root->Name();
    const std::string folder = TrackFolderText(root);
    for (const std::string& prefix : {rootName, folder}) {
        if (itemPath.empty() && wanted == prefix) return true;
        if (!itemPath.empty() && StartsWith(wanted, prefix + "/") &&
            SamePath(Trimmed(wanted.substr(prefix.size() + 1)), itemPath))
            return true;
    }
    return !itemPath.empty() && SamePath(wanted, itemPath);
}

std::optional<std::time_t> ItemTime(const scan::ItemDate& date) {
    if (date.year == 0) return std::nullopt;
    if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31 || date.hour > 23 || date.minute > 59 ||
        date.second > 60)
        return std::nullopt;
    // The zone byte is the recorded offset in 15-minute units; a writer
    // cannot be more than 13 hours from Greenwich, anything else is noise.
    const int zone = (date.zone >= -52 && date.zone <= 52) ? date.zone : 0;
    const long long days = DaysFromCivil(1900 + date.year, date.month, date.day);
    const long long seconds = days * 86400 + date.hour * 3600 + date.minute * 60 + date.second - zone * 15 * 60;
    return static_cast<std::time_t>(seconds);
}

}  // namespace dravik::extract
