#include "program/app/command_line.h"

#include <cctype>

namespace dravik::app {

bool ParseCommandLine(const std::vector<std::string>& tokens, CommandLine& line, std::string& badToken) {
    CommandLine parsed;
    for (const std::string& token : tokens) {
        bool ok = token.size() >= 2 && (token[0] == '-' || token[0] == '/');
        if (ok) {
            const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(token[1])));
            const std::string_view rest = std::string_view(token).substr(2);
            switch (letter) {
                case 'C': ok = rest.empty(); parsed.ignoreChecksums = true; break;
                case 'K': ok = rest.empty(); parsed.analyseDatabase = true; break;
                case 'N': ok = rest.empty(); parsed.closeSplash = true; break;
                case 'D': {
                    auto debug = diag::ParseDebugSwitch(rest);
                    ok = debug.has_value();
                    if (ok) {
                        parsed.debugGiven = true;
                        parsed.debug.debugMode |= debug->debugMode;
                        parsed.debug.logWriteThrough |= debug->logWriteThrough;
                        parsed.debug.trackAllocations |= debug->trackAllocations;
                    }
                    break;
                }
                default: ok = false; break;
            }
        }
        if (!ok) {
            badToken = token;
            return false;
        }
    }
    line = parsed;
    return true;
}

std::vector<std::string> SplitCommandLine(const std::string& text) {
    std::vector<std::string> tokens;
    std::string current;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!current.empty()) tokens.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) tokens.push_back(std::move(current));
    return tokens;
}

}  // namespace dravik::app
