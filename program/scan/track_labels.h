// Catalogue items for tracks that hold no file system the readers know:
// audio tracks, the lead-out, unrecognised data and sampler tracks. Each
// label comes from the language module, becomes the name of the track's
// root item and is shown in the tree.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace dravik::scan {

struct FoundItem;
struct TrackNode;

// Language-module strings of the labels and the numbers each is formatted with.
constexpr unsigned kAudioTrackLabel = 126;         // minutes, seconds
constexpr unsigned kLeadOutLabel = 127;            // start block
constexpr unsigned kUnrecognisedTrackLabel = 160;  // length in blocks
constexpr unsigned kSamplerTrackLabel = 207;       // length in blocks
constexpr unsigned kBlankDiscLabel = 227;          // capacity in blocks

// Where label texts come from; empty means the program's language module.
using LabelTextSource = std::function<std::string(unsigned id)>;
void SetLabelTextSource(LabelTextSource source);

// The label `id` formatted with the numbers. A text that is missing from
// the module, or whose conversions do not fit the label's numbers, is
// replaced by the program's own English text.
std::string TrackLabel(unsigned id, int first, int second = 0);

// The node's root item named `label`, with `flags`, shown in the tree.
// Null when memory runs out.
FoundItem* AttachTrackLabel(TrackNode* node, const std::string& label, std::uint16_t flags);

// A node that already has a root item (a CD-TEXT title) only loses
// ItemUnnamed; otherwise its item is labelled with the track's minutes and
// seconds and is ItemUnnamed.
void LabelAudioTrack(TrackNode* node);
void LabelLeadOut(TrackNode* node);
void LabelUnrecognisedTrack(TrackNode* node);
void LabelSamplerTrack(TrackNode* node);

// Blocks from the node's start to the next node's start; 0 for the last
// node and where the next node starts earlier.
std::int32_t BlocksToNextTrack(const TrackNode* node);

// Block 0 of a sampler disc: from byte 64, blanks, "Copyright", blanks,
// "Roland". `length` is how many bytes of the block were read.
bool IsSamplerDiscBlock(const std::uint8_t* block, std::size_t length);

}  // namespace dravik::scan
