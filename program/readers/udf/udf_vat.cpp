// Finding and loading the VAT of a write-once volume. Every write appends a
// new VAT at the end of the recorded area, so the newest one is looked for
// there first; the locations met are kept in vatHistory (newest first) so
// that a VAT that cannot be loaded, or through which no file can be read,
// gives way to the one written before it.
#include <chrono>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/message_catalog.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_message.h"
#include "program/messages/show_status.h"
#include "program/readers/udf/udf_reader.h"
#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/udf_vat_table.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/track_list.h"

namespace dravik::readers::udf {

namespace {

// Tracks shorter than this hold no VAT of their own unless packet-written:
// it is on the track that follows.
constexpr std::int64_t kShortTrackBlocks = 2564;
// The intensive search: a read slower than this is followed by NudgeDrive;
// after this long the user is asked whether to go on.
constexpr std::int64_t kSlowReadMilliseconds = 500;
constexpr std::int64_t kAskAfterMilliseconds = 600001;
constexpr std::int64_t kProgressEvery = 5;
// Answers of a yes/no message.
constexpr int kAnswerNo = 7;

bool IsLast(const scan::TrackNode* track) { return !track || track->number == scan::kLeadOutNumber; }

// A VAT File Entry with a good tag at `block` (left in `buffer`).
bool VatEntryAt(UdfState& state, std::int64_t block, std::uint8_t* buffer, bool& entrySeen) {
    int code = 0;
    if (!ReadBlock(state, block, buffer) || !IsFileEntryTag(TagId(buffer)) || !CheckTag(state, buffer, code))
        return false;
    entrySeen = true;
    return IsVatEntry(buffer, state.map.partitionStart, Reader(state));
}

scan::TrackNode* TrackToSearch(scan::TrackNode* track) {
    const bool ownVat = std::int64_t{track->end} - track->start >= kShortTrackBlocks || (track->flags & scan::TrackPacket);
    scan::TrackNode* next = IsLast(track->next) ? nullptr : track->next;
    if (ownVat) return next && (next->flags & scan::TrackContinued) ? next : track;
    if (!next) return track;
    SetFlags(next, scan::TrackContinued);
    return next;
}

// Where the recorded area of a track ends.
std::int64_t RecordedEnd(const scan::TrackNode* track) {
    if (track->nextWritable != 0) return track->nextWritable;
    if (track->freeBlocks > 0) return std::int64_t{track->end} - track->freeBlocks;
    return track->end;
}

// The newest VAT in the last blocks of the recorded area.
bool SearchBackwards(UdfState& state, const scan::TrackNode* track, std::uint8_t* buffer) {
    const std::int64_t from = RecordedEnd(track);
    bool entrySeen = false;
    for (std::int64_t block = from; block > from - kVatSearchBlocks && block >= track->start; --block) {
        if (AbortRequested(state)) return false;
        messages::ProgressTick();
        if (VatEntryAt(state, block, buffer, entrySeen)) {
            RecordVat(state, block);
            return true;
        }
        if (entrySeen && state.track->udfStage == kStageVatSearch) state.track->udfStage = kStageVatEntrySeen;
    }
    return false;
}

// Every VAT of the track, oldest first, so that the newest ends in front.
// Reads are timed: a slow one is followed by NudgeDrive. A packet's
// unreadable link area (seven blocks) costs one failed read: when a read
// fails with a link-area sense code and the block seven on reads, the
// blocks between are skipped. After ten minutes the user is asked once
// whether to go on; "no" ends the search, and the VATs met so far serve
// (the newest of them is the best the user let the search find).
bool SearchForwards(UdfState& state, const scan::TrackNode* track, std::uint8_t* buffer) {
    bool found = false;
    const std::int64_t first = std::max<std::int64_t>(state.map.partitionStart, track->start);
    const std::int64_t end = std::min<std::int64_t>(track->end, state.readLimit);
    messages::ShowStatus(static_cast<int>(kVatSearchStatus), int{track->number}, static_cast<int>(first),
                         static_cast<int>(std::max<std::int64_t>(0, end - first)));
    const std::int64_t started = SearchMilliseconds();
    bool asked = false;
    // Reads `block` into the buffer, timed; true when it read.
    const auto timedRead = [&](std::int64_t block) {
        const std::int64_t before = SearchMilliseconds();
        const bool read = ReadBlock(state, block, buffer);
        if (read && SearchMilliseconds() - before > kSlowReadMilliseconds)
            NudgeDrive(state);
        else if (read && state.firstQuickBlock < 0)
            state.firstQuickBlock = block;
        return read;
    };
    const auto consider = [&](std::int64_t block) {
        int code = 0;
        if (IsFileEntryTag(TagId(buffer)) && CheckTag(state, buffer, code) &&
            IsVatEntry(buffer, state.map.partitionStart, Reader(state))) {
            RecordVat(state, block);
            found = true;
        }
    };
    for (std::int64_t block = first; block < end; ++block) {
        if (AbortRequested(state)) break;
        if ((block - first) % kProgressEvery == 0) messages::ProgressTick();
        if (!asked && SearchMilliseconds() - started >= kAskAfterMilliseconds) {
            asked = true;
            if (messages::ShowMessage(messages::MessageIdWithFlags(kLongVatSearchMessage)) == kAnswerNo) break;
        }
        if (timedRead(block)) {
            consider(block);
            continue;
        }
        const std::uint8_t sense = state.device ? state.device->GetSenseCode() : 0;
        if (!IsLinkAreaSense(sense)) continue;
        const std::int64_t after = block + kLinkAreaBlocks;
        if (after < end && timedRead(after)) {
            consider(after);
            block = after;  // the loop goes on at the block after it
        }
    }
    return found;
}

// A VAT already in the history or already tried: previous pointers that
// loop back to one end the chain.
bool KnownVat(const UdfState& state, std::int64_t block) {
    if (state.vatsTried.count(block) != 0) return true;
    for (const std::int64_t known : state.vatHistory)
        if (known == block) return true;
    return false;
}

// Fills the older places of vatHistory from the previous-VAT pointers of
// the loaded table. Writers record that pointer either relative to the
// partition or as an absolute block: the one whose block holds a VAT File
// Entry is taken. A pointer to a VAT already known ends the chain.
void ChainOlderVats(UdfState& state, VatTable table, std::uint8_t* buffer) {
    for (int slot = 1; slot < kVatHistorySize && state.vatHistory[slot] == 0; ++slot) {
        if (table.previous == kNoPreviousVat) return;
        std::int64_t older = 0;
        bool entrySeen = false;
        for (const std::int64_t candidate : {state.map.partitionStart + table.previous, std::int64_t{table.previous}}) {
            if (!KnownVat(state, candidate) && VatEntryAt(state, candidate, buffer, entrySeen)) {
                older = candidate;
                break;
            }
        }
        if (older == 0 || LoadVatTable(buffer, state.map.partitionStart, Reader(state), table) != VatLoad::kLoaded)
            return;
        state.vatHistory[slot] = older;
    }
}

VatLoadLog LoadLog(UdfState& state) {
    VatLoadLog log;
    if (!Verbose()) return log;
    log.unrecordedExtent = [](std::uint32_t length, std::uint32_t position) {
        diag::DebugPrint("Skipping unrecorded extent in VAT: %08x %08x", length, position);
    };
    log.readFailed = [&state](std::int64_t block) {
        diag::DebugPrint("Error reading %02x:%02x VAT sector %d", state.device->GetSenseCode(),
                         state.device->GetSenseAddCode(), static_cast<int>(block));
    };
    log.blocksAreSectors = [] { diag::DebugPrint("Logical blocks in file entries are sectors, not extents"); };
    return log;
}

// Loads the newest VAT of vatHistory, falling back to older ones.
bool LoadNewest(UdfState& state, std::uint8_t* buffer, bool reread) {
    scan::TrackNode* track = state.track;
    while (true) {
        const std::int64_t at = state.vatHistory[0];
        state.vatsTried.insert(at);
        bool entrySeen = false;
        VatLoad loaded = VatLoad::kRefused;
        if (!ReadBlock(state, at, buffer)) {
            if (Verbose())
                diag::DebugPrint("Error %02x %02x reading VAT sector %d - fatal", state.device->GetSenseCode(),
                                 state.device->GetSenseAddCode(), static_cast<int>(at));
        } else if (VatEntryAt(state, at, buffer, entrySeen)) {
            if (reread) SetFlags(track, scan::TrackVatReread);
            if (Verbose()) diag::DebugDumpSector(buffer, static_cast<int>(at), "VAT File Entry");
            VatTable table;
            loaded = LoadVatTable(buffer, state.map.partitionStart, Reader(state), table, LoadLog(state));
            if (loaded == VatLoad::kExtended) {
                track->udfStage = kStageVatExtended;
                return false;
            }
            if (loaded == VatLoad::kLoaded) {
                ChainOlderVats(state, table, buffer);
                state.map.vat = std::move(table.entries);
                state.map.vatLoaded = true;
                ChooseMappings(state.map);
                {
                    scan::CatalogueGuard guard;
                    track->vatBlock = static_cast<std::int32_t>(at);
                    track->udfStage = kStageVatLoaded;
                }
                if (Verbose()) diag::DebugPrint("VAT of %d entries loaded from %d", static_cast<int>(state.map.vat.size()),
                                                static_cast<int>(at));
                return true;
            }
            if (loaded == VatLoad::kFirstReadFailed && Verbose())
                diag::DebugPrint("Error %02x %02x reading VAT sector %d - fatal", state.device->GetSenseCode(),
                                 state.device->GetSenseAddCode(), static_cast<int>(at));
        }
        // This VAT is lost: the previous one, when there is one. The lost
        // one leaves the history, so that a later search can find others.
        DropNewestVat(state);
        if (state.vatHistory[0] == 0) {
            track->udfStage = kStageNoVat;
            return false;
        }
        if (Verbose()) diag::DebugPrint("Switching to previous VAT at %d", static_cast<int>(state.vatHistory[0]));
        {
            scan::CatalogueGuard guard;
            ++track->vatFallbacks;
        }
        reread = true;
    }
}

}  // namespace

void RecordVat(UdfState& state, std::int64_t block) {
    for (int i = kVatHistorySize - 1; i > 0; --i) state.vatHistory[i] = state.vatHistory[i - 1];
    state.vatHistory[0] = block;
    if (Verbose()) diag::DebugPrint("Found VAT at %d", static_cast<int>(block));
}

void DropNewestVat(UdfState& state) {
    for (int i = 0; i + 1 < kVatHistorySize; ++i) state.vatHistory[i] = state.vatHistory[i + 1];
    state.vatHistory[kVatHistorySize - 1] = 0;
}

bool ReadVat(UdfState& state, std::uint8_t* buffer, bool intensive) {
    scan::TrackNode* given = state.track;
    {
        scan::CatalogueGuard guard;
        given->vatBlock = 0;
    }
    if (state.vatHistory[0] != 0) return LoadNewest(state, buffer, true);
    scan::TrackNode* track = TrackToSearch(given);
    given->udfStage = kStageVatSearch;
    bool found = false;
    {
        QuietReads quiet(state);
        while (true) {
            found = intensive ? SearchForwards(state, track, buffer) : SearchBackwards(state, track, buffer);
            if (found || AbortRequested(state)) break;
            scan::TrackNode* next = track->next;
            if (IsLast(next) || next->session != track->session || (next->control & 1) != (track->control & 1)) {
                for (int i = 0; i < 3; ++i) state.vatHistory[i] = 0;
                return false;
            }
            SetFlags(next, scan::TrackContinued);
            state.readLimit = std::max<std::int64_t>(state.readLimit, next->end);
            track = next;
        }
    }
    if (AbortRequested(state) && state.vatHistory[0] == 0) {
        state.udfError = true;
        return false;
    }
    if (state.device) state.device->ClearAbortFlag();
    if (Verbose())
        diag::DebugPrint("VAT list: %d %d %d", static_cast<int>(state.vatHistory[0]), static_cast<int>(state.vatHistory[1]),
                         static_cast<int>(state.vatHistory[2]));
    return LoadNewest(state, buffer, false);
}

}  // namespace dravik::readers::udf
