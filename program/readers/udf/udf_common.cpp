// Helpers every part of the UDF reader uses: block reads inside the
// volume's tracks, quiet reads, tag checks and searches, block mapping and
// the bitmap of used blocks.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <limits>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_status.h"
#include "program/readers/udf/udf_reader.h"
#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/udf_tags.h"
#include "program/readers/udf/test_seams.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"

namespace dravik::readers::udf {

namespace {

// A tag search refreshes its status line (without logging: the high bit of
// the id) this often.
constexpr std::int64_t kSearchStatusEvery = 50;
// Blocks a read-ahead run reads with one command.
constexpr int kReadAheadBlocks = 32;
// Sense codes with which drives refuse the link blocks between packets.
constexpr std::uint8_t kLinkSenseCodes[] = {0x02, 0x06, 0x11, 0xC6};

// The clock tests put in place of the steady clock; empty in the program.
std::function<std::int64_t()>& SearchClock() {
    static std::function<std::int64_t()> clock;
    return clock;
}

}  // namespace

namespace test_seams {
void SetSearchClock(std::function<std::int64_t()> milliseconds) { SearchClock() = std::move(milliseconds); }
}  // namespace test_seams

QuietReads::QuietReads(UdfState& state) : state_(state) {
    if (state_.quietDepth++ == 0 && state_.device) state_.device->SetErrorMode(true);
}

QuietReads::~QuietReads() {
    if (--state_.quietDepth == 0 && state_.device) state_.device->SetErrorMode(false);
}

bool ReadBlock(UdfState& state, std::int64_t block, std::uint8_t* buffer) {
    if (!state.device || block < 0 || block >= state.readLimit || block > std::numeric_limits<std::int32_t>::max())
        return false;
    if (state.readAhead) {
        if (block < state.aheadFirst || block >= state.aheadFirst + state.aheadCount) {
            const int count = static_cast<int>(std::min<std::int64_t>(kReadAheadBlocks, state.readLimit - block));
            state.aheadData.resize(std::size_t{kReadAheadBlocks} * kBlockBytes);
            if (count > 1 && state.device->ReadCD(static_cast<int>(block), state.aheadData.data(), count)) {
                state.aheadFirst = block;
                state.aheadCount = count;
            }
        }
        if (block >= state.aheadFirst && block < state.aheadFirst + state.aheadCount) {
            std::memcpy(buffer, state.aheadData.data() + std::size_t(block - state.aheadFirst) * kBlockBytes, kBlockBytes);
            return true;
        }
    }
    return state.device->ReadCD(static_cast<int>(block), buffer, 1);
}

void NudgeDrive(UdfState& state) {
    if (state.firstQuickBlock < 0) return;
    std::uint8_t scratch[kBlockBytes];
    QuietReads quiet(state);
    if (Verbose()) diag::DebugPrint("Slow read, reading block %d again", static_cast<int>(state.firstQuickBlock));
    ReadBlock(state, state.firstQuickBlock, scratch);
}

std::int64_t SearchMilliseconds() {
    if (SearchClock()) return SearchClock()();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void KeepReadAhead(UdfState& state, std::int64_t first, int count, const std::uint8_t* data) {
    state.aheadCount = 0;
    if (count < 1 || count > kReadAheadBlocks) return;
    state.aheadData.assign(data, data + std::size_t(count) * kBlockBytes);
    state.aheadData.resize(std::size_t{kReadAheadBlocks} * kBlockBytes);
    state.aheadFirst = first;
    state.aheadCount = count;
}

bool ReadBlocks(UdfState& state, std::int64_t block, int count, std::uint8_t* buffer) {
    if (!state.device || count < 1 || block < 0 || block + count > state.readLimit ||
        block + count > std::numeric_limits<std::int32_t>::max())
        return false;
    return state.device->ReadCD(static_cast<int>(block), buffer, count);
}

std::int64_t AfterFailedBlock(UdfState& state, std::int64_t block, std::uint8_t sense, std::uint8_t* buffer) {
    if (!state.device || !IsLinkAreaSense(sense)) return block + 1;
    const std::int64_t last = block + kLinkAreaBlocks - 1;
    if (ReadBlock(state, last, buffer)) return block + 1;
    const std::uint8_t again = state.device->GetSenseCode();
    if (again != sense) {
        if (Verbose())
            diag::DebugPrint("Error %02x %02x reading block %d (2nd point)", again, state.device->GetSenseAddCode(),
                             static_cast<int>(last));
        return block + 1;
    }
    return ReadBlock(state, last + 1, buffer) ? last + 1 : block + 1;
}

bool IsLinkAreaSense(std::uint8_t code) {
    for (const std::uint8_t link : kLinkSenseCodes)
        if (code == link) return true;
    return false;
}

bool AbortRequested(const UdfState& state) {
    return scan::CloseRequested.load() != 0 || (state.device && state.device->IsAbortSet());
}

bool Verbose() { return diag::DebugMode.load(); }

ReadBlockFunction Reader(UdfState& state) {
    return [&state](std::int64_t block, std::uint8_t* out) { return ReadBlock(state, block, out); };
}

void SetFlags(scan::TrackNode* track, std::uint32_t bits) {
    scan::CatalogueGuard guard;
    track->flags |= bits;
}

bool CheckTag(UdfState& state, const std::uint8_t* descriptor, int& code) {
    const bool checksums = !state.ignoreChecksums && settings::ProgramSettings.IgnoreChecksums == 0;
    code = TagProblem(descriptor, checksums);
    if (code == kTagBadChecksum) state.checksumErrorSeen = true;
    return code == kTagGood;
}

bool TagMatches(std::uint16_t found, std::uint16_t wanted) {
    return found == wanted || (wanted == kTagFileEntry && found == kTagExtendedFileEntry);
}

const std::uint8_t* DescriptorAt(UdfState& state, const std::uint8_t* block, std::uint16_t tag, int& code) {
    code = 0;
    if (TagMatches(TagId(block), tag)) return CheckTag(state, block, code) ? block : nullptr;
    if (TagId(block) == kTagDirectCdPrefix) {
        const std::uint8_t* inner = block + kDirectCdPrefixBytes;
        int innerCode = 0;
        if (TagMatches(TagId(inner), tag) && CheckTag(state, inner, innerCode)) {
            if (Verbose()) diag::DebugDump(block, kBlockBytes, "Odd DirectCD prefix on FID block");
            return inner;
        }
        code = 2;
        return nullptr;
    }
    if (!CheckTag(state, block, code)) return nullptr;
    code = 2;
    return nullptr;
}

std::int64_t SearchTag(UdfState& state, std::int64_t from, std::int64_t to, std::uint8_t* buffer, std::uint16_t tag) {
    // The search never runs past what may be read (a partition of length
    // 0xFFFFFFFF ends with the track).
    if (to >= state.readLimit) to = state.readLimit - 1;
    if (Verbose()) diag::DebugPrint("Searching for block with tag %d from %d to %d...", tag, static_cast<int>(from), static_cast<int>(to));
    std::int64_t found = 0;
    std::int64_t last = from;
    {
        QuietReads quiet(state);
        messages::ShowStatus(static_cast<int>(kTagSearchStatus), static_cast<int>(from), static_cast<int>(to));
        for (std::int64_t block = from + 1; block <= to; ++block) {
            messages::ProgressTick();
            if (AbortRequested(state)) break;
            last = block;
            if ((block - from) % kSearchStatusEvery == 0)
                messages::ShowStatus(static_cast<int>(0x80000000u | kTagSearchStatus), static_cast<int>(from), static_cast<int>(to));
            int code = 0;
            if (ReadBlock(state, block, buffer) && TagMatches(TagId(buffer), tag) && CheckTag(state, buffer, code)) {
                found = block;
                break;
            }
        }
    }
    if (Verbose())
        diag::DebugPrint("Tag search ended at block %d with value %d returned,  Abort=%d", static_cast<int>(last),
                         static_cast<int>(found), state.device && state.device->IsAbortSet() ? 1 : 0);
    if (state.device) state.device->ClearAbortFlag();
    return found;
}

std::int64_t MapBlock(const UdfState& state, std::uint32_t block, std::uint32_t reference) {
    return MapLogicalBlock(state.map, block, reference);
}

std::int64_t MarkUsed(UdfState& state, std::int64_t block) {
    if (state.usedBlocks && block >= 0 && block < state.mediaBlocks)
        state.usedBlocks[block >> 3] |= static_cast<std::uint8_t>(0x80u >> (block & 7));
    return block;
}

bool IsUsed(const UdfState& state, std::int64_t block) {
    if (!state.usedBlocks || block < 0 || block >= state.mediaBlocks) return false;
    return (state.usedBlocks[block >> 3] & (0x80u >> (block & 7))) != 0;
}

}  // namespace dravik::readers::udf
