// A small ISO 9660 writer for the sample disc: one session's volume with
// plain level-1 names, whose files are either written into the session or
// left where an earlier session recorded them, as a multi-session writer
// does for files it carries over.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravik::cli {

struct DemoFile {
    std::string path;                 // "PHOTOS/IMG_0001.JPG"; one level of folders at most
    std::string content;              // written into this session...
    std::int32_t earlierBlock = -1;   // ...unless it already lies at this block
    std::uint32_t earlierLength = 0;  // (with this length)
};

struct DemoSession {
    std::string volumeId;
    std::int32_t start = 0;  // block of the session's first block on the disc
    std::vector<DemoFile> files;
    // Recording date: years since 1900, month, day, hour, minute, second.
    std::uint8_t date[6] = {124, 3, 14, 10, 30, 0};
};

// The blocks of the session, from its first block. Files written here get
// their block in `files[i].earlierBlock` for later sessions to refer to.
std::vector<std::uint8_t> WriteDemoSession(DemoSession& session);

}  // namespace dravik::cli
