#include "program/app/menu_resource.h"

#include <charconv>

namespace dravik::app {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Splits off the first blank-separated word.
std::string_view TakeWord(std::string_view& rest) {
    std::size_t end = 0;
    while (end < rest.size() && !IsBlank(rest[end])) ++end;
    std::string_view word = rest.substr(0, end);
    rest = Trim(rest.substr(end));
    return word;
}

bool ParseId(std::string_view word, int& id) {
    if (word.empty() || word.size() > 5) return false;
    const char* end = word.data() + word.size();
    auto [at, ec] = std::from_chars(word.data(), end, id);
    return ec == std::errc() && at == end && id >= 1 && id <= 65535;
}

// Walks the lines of `text`, handing each non-empty, non-comment line (trimmed)
// to `handle`; stops at the first failure and prefixes its error with the
// line number.
template <typename Handler>
bool ForEachLine(std::string_view text, std::string& error, Handler handle) {
    if (text.size() > kMaxResourceText) {
        error = "the text is longer than " + std::to_string(kMaxResourceText) + " bytes";
        return false;
    }
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.size() > kMaxResourceLine) {
            error = "line " + std::to_string(lineNumber) + ": longer than " + std::to_string(kMaxResourceLine) +
                    " bytes";
            return false;
        }
        line = Trim(line);
        if (line.empty() || line.front() == '#') continue;
        std::string why;
        if (!handle(line, why)) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseMenu(std::string_view text, std::vector<MenuEntry>& menu, std::string& error) {
    std::vector<MenuEntry> top;
    // The open submenus, outermost first; each points into its parent's
    // children, which do not grow while a deeper submenu is open.
    std::vector<std::vector<MenuEntry>*> open{&top};
    std::size_t entries = 0;
    bool ok = ForEachLine(text, error, [&](std::string_view line, std::string& why) {
        std::string_view rest = line;
        std::string_view word = TakeWord(rest);
        if (word == "end") {
            if (open.size() == 1 || !rest.empty()) {
                why = open.size() == 1 ? "\"end\" without a submenu" : "text after \"end\"";
                return false;
            }
            open.pop_back();
            return true;
        }
        if (++entries > kMaxMenuEntries) {
            why = "more than " + std::to_string(kMaxMenuEntries) + " entries";
            return false;
        }
        MenuEntry entry;
        if (word == "separator") {
            if (!rest.empty()) {
                why = "text after \"separator\"";
                return false;
            }
            entry.kind = MenuEntry::Kind::Separator;
            open.back()->push_back(std::move(entry));
            return true;
        }
        if (word == "popup") {
            if (rest.empty()) {
                why = "a submenu without a title";
                return false;
            }
            if (open.size() > kMaxMenuDepth) {
                why = "submenus nested deeper than " + std::to_string(kMaxMenuDepth);
                return false;
            }
            entry.kind = MenuEntry::Kind::Popup;
            entry.text = std::string(rest);
            open.back()->push_back(std::move(entry));
            open.push_back(&open.back()->back().children);
            return true;
        }
        if (word == "item" || word == "radio") {
            if (open.size() == 1) {
                why = "a command outside any submenu";
                return false;
            }
            entry.kind = word == "item" ? MenuEntry::Kind::Item : MenuEntry::Kind::Radio;
            std::string_view idWord = TakeWord(rest);
            if (!ParseId(idWord, entry.id)) {
                why = "\"" + std::string(idWord) + "\" is not a command id (1-65535)";
                return false;
            }
            if (rest.empty()) {
                why = "command " + std::to_string(entry.id) + " has no text";
                return false;
            }
            entry.text = std::string(rest);
            open.back()->push_back(std::move(entry));
            return true;
        }
        why = "unknown entry \"" + std::string(word) + "\"";
        return false;
    });
    if (!ok) return false;
    if (open.size() != 1) {
        error = "a submenu is not closed with \"end\"";
        return false;
    }
    menu = std::move(top);
    return true;
}

bool ParseAccelerators(std::string_view text, std::vector<Accelerator>& table, std::string& error) {
    std::vector<Accelerator> parsed;
    bool ok = ForEachLine(text, error, [&](std::string_view line, std::string& why) {
        if (parsed.size() == kMaxAccelerators) {
            why = "more than " + std::to_string(kMaxAccelerators) + " accelerators";
            return false;
        }
        std::string_view rest = line;
        Accelerator accelerator;
        accelerator.key = std::string(TakeWord(rest));
        std::string_view idWord = TakeWord(rest);
        if (!ParseId(idWord, accelerator.id) || !rest.empty()) {
            why = "expected a key and a command id (1-65535)";
            return false;
        }
        for (const Accelerator& earlier : parsed) {
            if (earlier.key == accelerator.key) {
                why = "the key " + accelerator.key + " is given twice";
                return false;
            }
        }
        parsed.push_back(std::move(accelerator));
        return true;
    });
    if (!ok) return false;
    table = std::move(parsed);
    return true;
}

std::vector<int> MenuCommandIds(const std::vector<MenuEntry>& menu) {
    std::vector<int> ids;
    for (const MenuEntry& entry : menu) {
        if (entry.kind == MenuEntry::Kind::Popup) {
            std::vector<int> inner = MenuCommandIds(entry.children);
            ids.insert(ids.end(), inner.begin(), inner.end());
        } else if (entry.kind != MenuEntry::Kind::Separator) {
            ids.push_back(entry.id);
        }
    }
    return ids;
}

}  // namespace dravik::app
