// Writes Nero images (.nrg) for tests, from the format's published
// description: the tracks' sectors one after another, then the chunk
// chain (cue points and a disc-at-once list, or a track-at-once list, and
// the session's track count, per session) and the footer, old ("NERO",
// 32-bit fields) or newer ("NER5", 64-bit fields).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravik::test {

struct NrgTrackSpec {
    int session = 1;
    uint8_t mode = 0x05;     // Nero's mode number: 0x00, 0x02, 0x03, 0x05, 0x06, 0x07, 0x0F, 0x10, 0x11
    uint32_t stride = 2352;  // bytes a sector takes in the file
    std::string data;        // the sectors as stored, pre-gap first
    int32_t pregap = 0;      // sectors of `data` before index 1
    int32_t lba = 0;         // of index 1
    bool audio = false;
};

enum class NrgForm { kOld, kNer5 };
enum class NrgRecording { kDiscAtOnce, kTrackAtOnce };

std::string WriteNrg(const std::vector<NrgTrackSpec>& tracks, NrgForm form, NrgRecording recording);

}  // namespace dravik::test
