// The entry text the database writer produces: the tokens in key-table
// order, each only when its written-when rule says so.
#include <cstdio>
#include <string>

#include "device/ddb/ddb_info.h"
#include "device/ddb/ddb_text.h"

namespace dravik::device {

using namespace ddb;

namespace {

// Room a list value needs at most ("0xffff", a "/" and the key's tail).
constexpr std::size_t kListValueReserve = 20;
// Room reserved after a key's name for "=" and a number.
constexpr std::size_t kKeyReserve = 10;
// A list is written up to its end mark, and never beyond this many values.
constexpr int kMaxListValuesWritten = 32;

}  // namespace

std::string DDBInfo::FormatEntry(const char* product, std::size_t limit) const {
    auto overflow = [&]() {
        std::string name = product ? std::string(product) : SplitDeviceName(deviceName_).product;
        std::string text = "!DDB: Max device info length exceeded for " + name;
        Message(0, text.c_str());
        return std::string();
    };

    std::string text;
    if (product) {
        text += '\t';
        text += product;
        text += ':';
    }
    bool first = true;
    auto separate = [&]() {
        if (!first) text += ',';
        first = false;
    };
    char number[16];
    for (const Key& key : kKeys) {
        if (key.written == Written::WhenSpeedSet && !speedSet_) continue;
        if (text.size() + key.name.size() + kKeyReserve > limit) return overflow();
        switch (key.kind) {
        case Kind::Flag:
            if (values_[key.slot] != 0) {
                separate();
                text += key.name;
            }
            break;
        case Kind::Negative:
            if (key.written != Written::Never && values_[key.slot] == 0) {
                separate();
                text += key.name;
            }
            break;
        case Kind::Number:
            if (key.written == Written::WhenNotZero && values_[key.slot] == 0) break;
            separate();
            std::snprintf(number, sizeof number, "=%u", static_cast<unsigned>(values_[key.slot]));
            text += key.name;
            text += number;
            break;
        case Kind::List: {
            const uint16_t* table = lists_[key.slot];
            if (table[0] == kListEnd) break;
            separate();
            text += key.name;
            text += '=';
            for (int i = 0; i < kListEntries && i < kMaxListValuesWritten && table[i] != kListEnd; ++i) {
                if (limit < text.size() + kListValueReserve) return overflow();
                if (i > 0) text += '/';
                unsigned value = table[i];
                std::snprintf(number, sizeof number, value <= 100 ? "%u" : "0x%x", value);
                text += number;
            }
            break;
        }
        }
    }
    text += "\r\n";
    return text;
}

}  // namespace dravik::device
