#include "program/messages/display_path.h"

namespace dravik::messages {

std::string DisplayPath(std::string_view name, const std::vector<std::string_view>& allAncestors) {
    std::size_t count = allAncestors.size() < kMaxPathAncestors ? allAncestors.size() : kMaxPathAncestors;
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) total += allAncestors[i].size() + 1;

    std::string path;
    auto append = [&path](std::string_view part) {
        path += '\\';
        path += part;
    };
    if (total <= kFullPathLimit) {
        for (std::size_t i = count; i-- > 0;) append(allAncestors[i]);
        append(name);
        return path;
    }
    // Drop ancestors from the third-nearest outward until the rest is short
    // enough; the two nearest always stay when anything is kept.
    std::size_t firstKept = 2;
    while (firstKept < count && total >= kShortPathTarget) {
        total -= allAncestors[firstKept].size() + 1;
        ++firstKept;
    }
    if (firstKept < count) {
        for (std::size_t i = count; i-- > firstKept;) append(allAncestors[i]);
        path += "\\...";
        append(allAncestors[1]);
        append(allAncestors[0]);
        append(name);
        return path;
    }
    path = "\\...";
    append(name);
    return path;
}

}  // namespace dravik::messages
