#include "program/extract/safe_names.h"

#include "platform/utf8_text.h"

namespace dravik::extract {

namespace {

// "name.ext" -> position of ".ext", or npos when there is no extension
// (a leading dot does not start one).
std::size_t ExtensionAt(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    // A leading dot does not start an extension, nor does a trailing one.
    return dot == std::string_view::npos || dot == 0 || dot + 1 == name.size() ? std::string_view::npos : dot;
}

std::string Shortened(const std::string& name) {
    std::string_view view = name;
    std::string_view extension;
    const std::size_t dot = ExtensionAt(view);
    if (dot != std::string_view::npos && view.size() - dot <= kMaxKeptExtensionBytes) extension = view.substr(dot);
    const std::string_view stem = text::CutUtf8(view.substr(0, view.size() - extension.size()),
                                                kMaxSafeNameBytes - extension.size());
    return std::string(stem) + std::string(extension);
}

}  // namespace

std::string_view WithoutIsoVersion(std::string_view name) {
    const std::size_t semicolon = name.rfind(';');
    if (semicolon == std::string_view::npos || semicolon == 0 || semicolon + 1 == name.size()) return name;
    for (std::size_t i = semicolon + 1; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return name;
    std::string_view base = name.substr(0, semicolon);
    if (base.size() > 1 && base.back() == '.') base.remove_suffix(1);
    return base;
}

SafeName MakeSafeName(std::string_view discName) {
    SafeName result;
    const std::string_view base = WithoutIsoVersion(discName);
    result.name.reserve(base.size());
    for (const char c : base) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < 0x20 || byte == 0x7F) {
            result.name += '_';
            result.rewritten = true;
        } else {
            result.name += c;
        }
    }
    if (result.name.empty() || result.name == "." || result.name == "..") {
        result.name.insert(0, "_");
        result.rewritten = true;
    }
    if (result.name.size() > kMaxSafeNameBytes) {
        result.name = Shortened(result.name);
        result.rewritten = true;
    }
    return result;
}

std::string FolderNames::Claim(const std::string& wanted, bool& renamed) {
    renamed = false;
    if (taken_.insert(wanted).second) return wanted;
    renamed = true;
    const std::size_t dot = ExtensionAt(wanted);
    // A long "extension" is part of the stem here, so the suffix always fits.
    const bool shortExtension = dot != std::string::npos && wanted.size() - dot <= kMaxKeptExtensionBytes;
    const std::string extension = shortExtension ? wanted.substr(dot) : std::string();
    const std::string stem = wanted.substr(0, wanted.size() - extension.size());
    for (unsigned number = 2;; ++number) {
        const std::string suffix = "~" + std::to_string(number);
        // The suffix must not push the name over the limit either.
        const std::string_view kept =
            text::CutUtf8(stem, kMaxSafeNameBytes - extension.size() - suffix.size());
        std::string candidate = std::string(kept) + suffix + extension;
        if (taken_.insert(candidate).second) return candidate;
    }
}

}  // namespace dravik::extract
