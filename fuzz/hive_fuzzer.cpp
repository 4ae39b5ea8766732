// The settings hives' text form: any text either parses or is refused
// with a reason, and whatever parses is written out again in a form that
// reads back to the same tree (names, types and data, in order).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/hive_text.h"

namespace {

using dravik::platform::HiveKey;

bool SameTree(const HiveKey& a, const HiveKey& b, int depth = 0) {
    if (depth > 1000) return true;
    if (a.name != b.name || a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size()) return false;
    for (std::size_t i = 0; i < a.values.size(); ++i) {
        const auto& x = a.values[i];
        const auto& y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
    }
    for (std::size_t i = 0; i < a.subkeys.size(); ++i)
        if (!SameTree(a.subkeys[i], b.subkeys[i], depth + 1)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dravik::platform;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    HiveKey root;
    std::string error;
    if (!ParseHiveText(text, root, error)) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    const std::string written = FormatHiveText(root, "fuzz");
    HiveKey reread;
    if (!ParseHiveText(written, reread, error)) __builtin_trap();
    if (!SameTree(root, reread)) __builtin_trap();
    return 0;
}
