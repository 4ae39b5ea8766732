// A debug log in a temporary folder, with the switches restored afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program/diag/debug_log.h"
#include "support/temp_dir.h"

namespace dravik::test {

class LogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        savedPath_ = diag::LogPath();
        diag::SetLogPath(dir_.File("test.DBG"));
        diag::DebugMode = true;
    }
    void TearDown() override {
        diag::DebugMode = false;
        diag::LogWriteThrough = false;
        diag::TrackAllocations = false;
        diag::SetLogPath(savedPath_);
    }
    std::string LogText() const { return dir_.Read("test.DBG"); }
    // The log split at CR LF; the text after the last CR LF must be empty.
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::string text = LogText();
        std::size_t start = 0;
        for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
            lines.push_back(text.substr(start, at - start));
        EXPECT_EQ(start, text.size()) << "the log does not end with CR LF";
        return lines;
    }

    TempDir dir_;
    std::string savedPath_;
};

// "hh:mm:ss.mmm " at the start of a log line.
inline bool HasTimeStamp(const std::string& line) {
    if (line.size() < 13) return false;
    const char* pattern = "00:00:00.000 ";
    for (int i = 0; i < 13; ++i) {
        bool digit = line[i] >= '0' && line[i] <= '9';
        if (pattern[i] == '0' ? !digit : line[i] != pattern[i]) return false;
    }
    return true;
}

}  // namespace dravik::test
