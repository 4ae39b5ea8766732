// Parsing and writing the hive text form. A hive file is input a person may
// have edited by hand, so the parser accepts only the documented form and
// checks every index against the text before use; the limits are in
// hive_text.h (file size, name lengths, key depth).
#include "hive_text.h"

#include <algorithm>
#include <cstdio>

#include "platform/byte_order.h"
#include "platform/utf8_text.h"

namespace dravik::platform {

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Reads a quoted text starting at s[pos] == '"'. On success `pos` is just
// past the closing quote.
bool ParseQuoted(std::string_view s, size_t& pos, std::string& out, std::string& error) {
    out.clear();
    if (pos >= s.size() || s[pos] != '"') {
        error = "expected '\"'";
        return false;
    }
    ++pos;
    while (pos < s.size()) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (pos + 1 >= s.size()) break;
            char e = s[pos + 1];
            pos += 2;
            switch (e) {
                case '\\': out += '\\'; break;
                case '"': out += '"'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'x': {
                    if (pos + 2 > s.size() || HexDigit(s[pos]) < 0 || HexDigit(s[pos + 1]) < 0) {
                        error = "\\x needs two hex digits";
                        return false;
                    }
                    out += static_cast<char>(HexDigit(s[pos]) * 16 + HexDigit(s[pos + 1]));
                    pos += 2;
                    break;
                }
                default:
                    error = "unknown escape";
                    return false;
            }
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            error = "control character inside quotes";
            return false;
        }
        out += c;
        ++pos;
    }
    error = "missing closing '\"'";
    return false;
}

bool ParseHexBytes(std::string_view s, std::string& out, std::string& error) {
    out.clear();
    s = Trim(s);
    if (s.empty()) return true;
    size_t pos = 0;
    for (;;) {
        while (pos < s.size() && IsSpace(s[pos])) ++pos;
        size_t start = pos;
        int value = 0;
        while (pos < s.size() && HexDigit(s[pos]) >= 0 && pos - start < 2) value = value * 16 + HexDigit(s[pos++]);
        if (pos == start) {
            error = "expected a hex byte";
            return false;
        }
        out += static_cast<char>(value);
        while (pos < s.size() && IsSpace(s[pos])) ++pos;
        if (pos == s.size()) return true;
        if (s[pos] != ',') {
            error = "expected ',' between hex bytes";
            return false;
        }
        ++pos;
    }
}

bool ParseValueData(std::string_view s, HiveValue& value, std::string& error) {
    s = Trim(s);
    auto quotedOnly = [&](std::string_view rest, uint32_t type) {
        size_t pos = 0;
        if (!ParseQuoted(rest, pos, value.data, error)) return false;
        if (!Trim(rest.substr(pos)).empty()) {
            error = "text after the closing quote";
            return false;
        }
        value.type = type;
        return true;
    };
    if (!s.empty() && s.front() == '"') return quotedOnly(s, REG_SZ);
    if (s.starts_with("expand:")) return quotedOnly(s.substr(7), REG_EXPAND_SZ);
    if (s.starts_with("dword:")) {
        std::string_view digits = s.substr(6);
        if (digits.empty() || digits.size() > 8) {
            error = "dword needs 1 to 8 hex digits";
            return false;
        }
        uint32_t number = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) {
                error = "dword needs 1 to 8 hex digits";
                return false;
            }
            number = number * 16 + static_cast<uint32_t>(d);
        }
        value.type = REG_DWORD;
        value.data = DwordData(number);
        return true;
    }
    if (s.starts_with("hex:")) {
        value.type = REG_BINARY;
        return ParseHexBytes(s.substr(4), value.data, error);
    }
    if (s.starts_with("hex(")) {
        size_t close = s.find(')');
        if (close == std::string_view::npos || close == 4 || close > 12 || close + 1 >= s.size() || s[close + 1] != ':') {
            error = "expected hex(type):";
            return false;
        }
        uint32_t type = 0;
        for (size_t i = 4; i < close; ++i) {
            int d = HexDigit(s[i]);
            if (d < 0) {
                error = "type of hex(type): must be hex";
                return false;
            }
            type = type * 16 + static_cast<uint32_t>(d);
        }
        value.type = type;
        return ParseHexBytes(s.substr(close + 2), value.data, error);
    }
    error = "unknown value form";
    return false;
}

// Appends `text` quoted, escaping what must not appear raw.
void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    size_t pos = 0;
    while (pos < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[pos]);
        char escaped[8];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else if (c >= 0x80) {
            size_t length = dravik::text::Utf8SequenceLength(text, pos);
            if (length == 0) {
                std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
                out += escaped;
            } else {
                out.append(text.substr(pos, length));
                pos += length;
                continue;
            }
        } else {
            out += static_cast<char>(c);
        }
        ++pos;
    }
    out += '"';
}

void AppendHexBytes(std::string& out, std::string_view data, size_t lineStart) {
    constexpr size_t kLineWidth = 78;
    char byte[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
        out += byte;
        if (i + 1 < data.size()) {
            out += ',';
            if (out.size() - lineStart > kLineWidth - 4) {
                out += "\\\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
}

void AppendValue(std::string& out, const HiveValue& value) {
    size_t lineStart = out.size();
    if (value.name.empty())
        out += '@';
    else
        AppendQuoted(out, value.name);
    out += '=';
    uint32_t number = 0;
    if (value.type == REG_SZ) {
        AppendQuoted(out, value.data);
    } else if (value.type == REG_EXPAND_SZ) {
        out += "expand:";
        AppendQuoted(out, value.data);
    } else if (value.type == REG_DWORD && DwordFromData(value.data, number)) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", number);
        out += digits;
    } else if (value.type == REG_BINARY) {
        out += "hex:";
        AppendHexBytes(out, value.data, lineStart);
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
        out += prefix;
        AppendHexBytes(out, value.data, lineStart);
    }
    out += '\n';
}

void AppendKey(std::string& out, const HiveKey& key, const std::string& path) {
    if (!path.empty()) {
        out += "\n[" + path + "]\n";
        for (const HiveValue& value : key.values) AppendValue(out, value);
    }
    for (const HiveKey& sub : key.subkeys) AppendKey(out, sub, path.empty() ? sub.name : path + "\\" + sub.name);
}

bool ValidKeyName(std::string_view name) {
    if (name.empty() || name.size() > kMaxKeyNameBytes || !dravik::text::IsValidUtf8(name)) return false;
    return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}  // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

bool SplitKeyPath(std::string_view path, std::vector<std::string>& parts) {
    parts.clear();
    while (!path.empty()) {
        size_t cut = path.find('\\');
        std::string_view part = path.substr(0, cut);
        if (!part.empty()) {
            if (!ValidKeyName(part) || parts.size() >= kMaxKeyDepth) return false;
            parts.emplace_back(part);
        }
        if (cut == std::string_view::npos) break;
        path.remove_prefix(cut + 1);
    }
    return true;
}

HiveValue* HiveKey::FindValue(std::string_view valueName) {
    for (HiveValue& v : values)
        if (NamesEqual(v.name, valueName)) return &v;
    return nullptr;
}

const HiveValue* HiveKey::FindValue(std::string_view valueName) const {
    return const_cast<HiveKey*>(this)->FindValue(valueName);
}

HiveKey* HiveKey::FindSubkey(std::string_view keyName) {
    for (HiveKey& k : subkeys)
        if (NamesEqual(k.name, keyName)) return &k;
    return nullptr;
}

const HiveKey* HiveKey::FindSubkey(std::string_view keyName) const {
    return const_cast<HiveKey*>(this)->FindSubkey(keyName);
}

HiveKey& HiveKey::SubkeyCreated(std::string_view keyName) {
    if (HiveKey* existing = FindSubkey(keyName)) return *existing;
    subkeys.push_back(HiveKey{std::string(keyName), {}, {}});
    return subkeys.back();
}

void HiveKey::SetValue(std::string_view valueName, uint32_t type, std::string data) {
    if (HiveValue* existing = FindValue(valueName)) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    values.push_back(HiveValue{std::string(valueName), type, std::move(data)});
}

bool HiveKey::RemoveValue(std::string_view valueName) {
    auto it = std::find_if(values.begin(), values.end(), [&](const HiveValue& v) { return NamesEqual(v.name, valueName); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

bool HiveKey::RemoveSubkey(std::string_view keyName) {
    auto it = std::find_if(subkeys.begin(), subkeys.end(), [&](const HiveKey& k) { return NamesEqual(k.name, keyName); });
    if (it == subkeys.end()) return false;
    subkeys.erase(it);
    return true;
}

std::string DwordData(uint32_t value) {
    std::uint8_t data[4];
    bytes::PutLe32(data, value);
    return std::string(reinterpret_cast<const char*>(data), sizeof data);
}

bool DwordFromData(std::string_view data, uint32_t& value) {
    if (data.size() != 4) return false;
    value = bytes::GetLe32(reinterpret_cast<const std::uint8_t*>(data.data()));
    return true;
}

namespace {

bool ParseInto(std::string_view text, HiveKey& root, std::string& error) {
    if (text.size() > kMaxHiveFileBytes) {
        error = "larger than " + std::to_string(kMaxHiveFileBytes) + " bytes";
        return false;
    }
    if (text.find('\0') != std::string_view::npos) {
        error = "holds NUL bytes";
        return false;
    }
    if (!dravik::text::IsValidUtf8(text)) {
        error = "is not valid UTF-8";
        return false;
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

    HiveKey* current = nullptr;
    size_t lineNumber = 0;
    std::string logical;
    size_t logicalStart = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        std::string_view line = Trim(raw);
        if (logical.empty()) {
            logicalStart = lineNumber;
            if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        }
        // A value line that ends in a backslash goes on with the next line.
        if (!line.empty() && line.back() == '\\' && !line.starts_with("[")) {
            line.remove_suffix(1);
            logical.append(line);
            if (!text.empty()) continue;
        } else {
            logical.append(line);
        }
        std::string_view whole = logical;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(logicalStart) + ": " + why;
            return false;
        };

        if (whole.empty()) return fail("a lone continuation mark");
        if (whole.front() == '[') {
            if (whole.back() != ']' || whole.size() < 3) return fail("a key line must be [path]");
            std::vector<std::string> parts;
            std::string_view path = whole.substr(1, whole.size() - 2);
            if (!SplitKeyPath(path, parts) || parts.empty()) return fail("invalid key path");
            current = &root;
            for (const std::string& part : parts) current = &current->SubkeyCreated(part);
        } else {
            if (current == nullptr) return fail("a value before the first [key] line");
            HiveValue value;
            size_t pos = 0;
            if (whole.front() == '@') {
                pos = 1;
            } else {
                std::string nameError;
                if (!ParseQuoted(whole, pos, value.name, nameError)) return fail("value name: " + nameError);
                if (value.name.size() > kMaxValueNameBytes) return fail("value name too long");
            }
            while (pos < whole.size() && IsSpace(whole[pos])) ++pos;
            if (pos >= whole.size() || whole[pos] != '=') return fail("expected '=' after the value name");
            std::string dataError;
            if (!ParseValueData(whole.substr(pos + 1), value, dataError)) return fail(dataError);
            current->SetValue(value.name, value.type, std::move(value.data));
        }
        logical.clear();
    }
    return true;
}

}  // namespace

bool ParseHiveText(std::string_view text, HiveKey& root, std::string& error) {
    HiveKey parsed;
    bool ok = ParseInto(text, parsed, error);
    root = ok ? std::move(parsed) : HiveKey{};
    return ok;
}

std::string FormatHiveText(const HiveKey& root, std::string_view title) {
    std::string out = "; ";
    out.append(title);
    out +=
        "\n; Settings of Dravik. This file may be edited by hand while no Dravik\n"
        "; program runs; a file that cannot be read is kept aside as .bad-<time>.\n";
    AppendKey(out, root, "");
    return out;
}

}  // namespace dravik::platform
