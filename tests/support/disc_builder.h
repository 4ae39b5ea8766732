// Writes test discs from code: a disc description (.vdisc) plus one backing
// file per track, in a TempDir, ready for a virtual drive. Tests build the
// exact layout they need (sessions, data and audio tracks, packet-written
// and open tracks, unreadable blocks, blank discs, the drive's identity)
// and fill the blocks their readers will look at.
//
//   DiscBuilder b(dir);
//   b.Medium("cd-r").Session();
//   int t = b.Track(TrackKind::kMode1, 300);
//   b.WriteBlock(t, 16, volumeDescriptor);
//   std::string description = b.Write();
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace dravik::test {

enum class TrackKind { kMode1, kMode2, kAudio };

struct TrackOptions {
    int32_t start = -1;          // -1: after the track before (or the session gap)
    int32_t pregap = 0;
    int packetSize = -1;         // -1: not packet written; 0: variable packets
    bool open = false;           // still being written (the last track only)
    int32_t nextWritable = -1;   // of an open track
    int32_t freeBlocks = -1;     // of an open track
    int control = -1;            // TOC control nibble; -1: by kind
    bool zeroFilled = false;     // no backing file: every block reads as zeros
};

class DiscBuilder {
public:
    explicit DiscBuilder(const TempDir& dir, std::string name = "disc");

    // --- the drive --------------------------------------------------------
    DiscBuilder& Identity(const std::string& vendor, const std::string& product, const std::string& revision = "1.00");
    DiscBuilder& OlderDrive();  // no MMC: vendor track information and CD-DA commands
    DiscBuilder& Profile(int profile);
    DiscBuilder& ManualTray();  // cannot load its tray
    DiscBuilder& NotReady(int commands);
    // Any further directive, as written in a description.
    DiscBuilder& Directive(const std::string& line);

    // --- the disc ---------------------------------------------------------
    DiscBuilder& Medium(const std::string& medium);  // cd-rom, cd-r, cd-rw, none
    DiscBuilder& Blank();
    DiscBuilder& Finalized(bool finalized);
    DiscBuilder& Capacity(int32_t blocks);
    DiscBuilder& Title(int track, const std::string& title);
    // Begins a session (the first is implied); start -1 leaves the gap of
    // a real CD-R after the session before.
    DiscBuilder& Session(int32_t start = -1, bool open = false);
    // Adds a track of `length` blocks and returns its index (from 0). Its
    // backing file holds 2048-byte blocks (2352 for audio) whose first
    // eight bytes are the block address and the track number, big-endian,
    // unless the test writes other contents.
    int Track(TrackKind kind, int32_t length, const TrackOptions& options = {});
    DiscBuilder& Unreadable(int32_t first, int32_t last);

    // --- block contents ---------------------------------------------------
    // Block address of a track's first block (index 1), as the description
    // will place it.
    int32_t TrackStart(int track) const;
    // Overwrites block `blockInTrack` of track `track` (bytes beyond the
    // sector are an error; fewer bytes leave the rest zero).
    void WriteBlock(int track, int32_t blockInTrack, std::span<const uint8_t> bytes);
    // The same by absolute block address.
    void WriteBlockAt(int32_t lba, std::span<const uint8_t> bytes);

    // Writes the description and the track files; returns the description's path.
    std::string Write() const;
    std::string DescriptionText() const;

private:
    struct BuiltTrack {
        TrackKind kind;
        int32_t length;
        TrackOptions options;
        int session;
        int32_t start;
        std::vector<uint8_t> data;  // empty when zero filled
    };
    struct BuiltSession {
        int32_t start;
        bool open;
    };
    uint32_t SectorSize(const BuiltTrack& t) const { return t.kind == TrackKind::kAudio ? 2352 : 2048; }

    const TempDir& dir_;
    std::string name_;
    std::vector<std::string> driveLines_, discLines_, tailLines_;
    std::vector<BuiltSession> sessions_;
    std::vector<BuiltTrack> tracks_;
};

}  // namespace dravik::test
