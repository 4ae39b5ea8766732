// The disc layout: what the drive says about the disc, turned into the
// track list. Three sources, tried by the scan thread in a fixed order: the
// table of contents (mode 0 for the tracks, the full TOC for the sessions),
// the drive's track information to refine every track (the MMC form, else
// the older form), and, without a usable TOC, the disc information with a
// walk over the track information. All of it runs on the scan thread with
// the selected device and one work buffer of kLayoutBufferBytes bytes.
//
// Every reply is input from a drive that may be broken: counts are capped,
// walks are bounded, block sums saturate, and a track whose end the replies
// put before its start is taken as empty.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dravik::scan {

constexpr std::size_t kLayoutBufferBytes = 2048;
// A TOC never lists more descriptors than 99 tracks and the lead-out.
constexpr int kMaxTocDescriptors = 100;
// Disc and track information replies are read into (and cleared over) this many bytes.
constexpr std::size_t kInfoReplyBytes = 256;
// A track information reply whose length field reads this much or more is
// an older-form block.
constexpr int kOlderFormLength = 255;
// Tracks the MMC walk adds beyond the TOC before it asks for track 255.
constexpr int kMaxTracksBeyondToc = 99;
// Track 255 asks for the disc's incomplete track; 256 for the track that holds block 256.
constexpr int kIncompleteTrack = 255;

int ReadTocLayout(std::uint8_t* buffer);
// Whether a READ TOC reply (`replyBytes` read) has the shape of a full TOC:
// a length of whole 11-byte descriptors, one of them the first-track point
// 0xA0 of a session numbered from 1.
bool LooksLikeFullToc(const std::uint8_t* reply, int replyBytes);
int ReadMmcTrackInfo(std::uint8_t* buffer);
int ReadNonMmcTrackInfo(std::uint8_t* buffer);
int ReadDiscInfoLayout(std::uint8_t* buffer);
// Appends a node from an older-form track block for track n; 0 when the
// block gives the track no size.
int AddOldFormatTrack(int n, const std::uint8_t* block);
// Names audio tracks and the volume from CD-TEXT.
int ReadCdText();
// The single node of a blank disc, which becomes the whole list.
int MakeBlankDiscTrack(std::int32_t capacity);

// A node other than the lead-out whose end (when set) lies before its
// start gets end = start. Returns how many nodes were corrected.
int CorrectImpossibleEnds();

}  // namespace dravik::scan
