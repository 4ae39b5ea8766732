// Reading an entry's value list into the record. Tokens apply left to
// right, so "CDDAScan,NoCDDAScan" leaves CDDAScan clear.
#include <algorithm>
#include <string>

#include "device/ddb/ddb_info.h"
#include "device/ddb/ddb_text.h"

namespace dravik::device {

using namespace ddb;

namespace {

std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n' || text.back() == '\v' || text.back() == '\f'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

bool DDBInfo::ParseValueList(std::string_view values, const std::string& product) {
    values = TrimTrailingBlanks(values);
    std::size_t pos = 0;
    while (pos <= values.size()) {
        std::size_t comma = values.find(',', pos);
        if (comma == std::string_view::npos) comma = values.size();
        std::string_view token = values.substr(pos, comma - pos);
        pos = comma + 1;

        std::size_t equals = token.find('=');
        std::string_view name = token.substr(0, equals);
        std::string_view value = equals == std::string_view::npos ? std::string_view{} : token.substr(equals + 1);
        const Key* key = FindKey(name);
        if (!key) continue;   // unknown keys are ignored, so newer files still load

        const std::string keyName(key->name);
        switch (key->kind) {
        case Kind::Flag:
            values_[key->slot] = 1;
            break;
        case Kind::Negative:
            values_[key->slot] = 0;
            break;
        case Kind::Number: {
            std::optional<uint32_t> number = ParseInteger(value.substr(0, kMaxNumberChars));
            if (!number) {
                Message(kMsgBadEntry, keyName.c_str(), product.c_str());
                return false;
            }
            StoreNumber(*key, *number);
            if (key->slot == kSpeed) speedSet_ = true;
            break;
        }
        case Kind::List: {
            uint16_t table[kListEntries];
            int count = 0;
            std::size_t at = 0;
            while (at <= value.size()) {
                std::size_t slash = value.find('/', at);
                if (slash == std::string_view::npos) slash = value.size();
                std::optional<uint32_t> number = ParseInteger(value.substr(at, slash - at).substr(0, kMaxNumberChars));
                if (!number) {
                    Message(kMsgBadEntry, keyName.c_str(), product.c_str());
                    return false;
                }
                // Values beyond the table (one entry is kept for the end
                // mark) are checked but dropped.
                if (count < kListEntries - 1) table[count++] = static_cast<uint16_t>(*number & 0xFFFFu);
                at = slash + 1;
            }
            table[count] = kListEnd;
            std::copy(table, table + count + 1, lists_[key->slot]);
            break;
        }
        }
    }
    return true;
}

}  // namespace dravik::device
