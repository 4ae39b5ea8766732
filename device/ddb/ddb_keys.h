// The keys of the device database: one table that the reader, the writer
// and the setters share. Its order is the order in which the writer emits
// the tokens of an entry, so it must not be re-sorted.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace dravik::device::ddb {

// One slot per value a record holds. Each negative key shares the slot of
// its positive key; the mode-length-required and progress slots exist only
// through their negatives (NoModeLen, NoProgress).
enum Field : uint8_t {
    kCDDAMSF,
    kCDDALE,
    kCDDAScan,
    kMode10,
    kRaw,
    kDevReg,
    kNoBlkSet,
    kLoadDisc,
    kNoATIP,
    kSubRWAvail,
    kSubRWDe,
    kCDText,
    kDisabled,
    kTestRst,
    kNoOPC,
    kNoImmedCls,
    kNoMode10,
    kMRW,
    kDVDPlusRW,
    kDVDMinusRW,
    kRtryChg,
    kFErase,
    kNoFeat,
    kModeLenReq,
    kProgress,
    kCDDALen,
    kBufSz,
    kSerNbr,
    kMaxWrtLen,
    kBfOv,
    kBfMax,
    kRtry,
    kMechType,
    kCDDADen,
    kCDDACmd,
    kRawCmd,
    kWCmd,
    kTrkInfo,
    kLoadEj,
    kRstCmd,
    kSubQVal,
    kSubRW,
    kErrScan,
    kSpeedCode,
    kSpeed,
    kWFmt,
    kFieldCount
};

// The two speed lists are kept apart from the scalar slots.
enum ListField : uint8_t { kWSpd, kWDVDSpd, kListCount };

enum class Kind : uint8_t { Flag, Negative, Number, List };

// When the writer emits a key.
enum class Written : uint8_t {
    WhenOne,        // flags
    WhenZero,       // negatives: the shared slot is 0
    Never,          // NoCDDAMSF, NoCDText
    Always,         // numbers always written
    WhenNotZero,    // numbers written only when set
    WhenSpeedSet,   // Speed: only when it was read from the file
    WhenNotEmpty,   // lists
};

struct Key {
    std::string_view name;
    Kind kind;
    uint8_t bits;   // 8 or 16 for numbers, 1 for flags and negatives, 16 for lists
    Written written;
    uint8_t slot;   // a Field, or a ListField for lists
};

inline constexpr std::array<Key, 53> kKeys{{
    {"CDDAMSF", Kind::Flag, 1, Written::WhenOne, kCDDAMSF},
    {"CDDALE", Kind::Flag, 1, Written::WhenOne, kCDDALE},
    {"CDDAScan", Kind::Flag, 1, Written::WhenOne, kCDDAScan},
    {"Mode10", Kind::Flag, 1, Written::WhenOne, kMode10},
    {"Raw", Kind::Flag, 1, Written::WhenOne, kRaw},
    {"DevReg", Kind::Flag, 1, Written::WhenOne, kDevReg},
    {"NoBlkSet", Kind::Flag, 1, Written::WhenOne, kNoBlkSet},
    {"LoadDisc", Kind::Flag, 1, Written::WhenOne, kLoadDisc},
    {"NoATIP", Kind::Flag, 1, Written::WhenOne, kNoATIP},
    {"SubRWAvail", Kind::Flag, 1, Written::WhenOne, kSubRWAvail},
    {"SubRWDe", Kind::Flag, 1, Written::WhenOne, kSubRWDe},
    {"CDText", Kind::Flag, 1, Written::WhenOne, kCDText},
    {"Disabled", Kind::Flag, 1, Written::WhenOne, kDisabled},
    {"TestRst", Kind::Flag, 1, Written::WhenOne, kTestRst},
    {"NoOPC", Kind::Flag, 1, Written::WhenOne, kNoOPC},
    {"NoImmedCls", Kind::Flag, 1, Written::WhenOne, kNoImmedCls},
    {"NoMode10", Kind::Flag, 1, Written::WhenOne, kNoMode10},
    {"MRW", Kind::Flag, 1, Written::WhenOne, kMRW},
    {"DVD+RW", Kind::Flag, 1, Written::WhenOne, kDVDPlusRW},
    {"DVD-RW", Kind::Flag, 1, Written::WhenOne, kDVDMinusRW},
    {"RtryChg", Kind::Flag, 1, Written::WhenOne, kRtryChg},
    {"FErase", Kind::Flag, 1, Written::WhenOne, kFErase},
    {"NoFeat", Kind::Flag, 1, Written::WhenOne, kNoFeat},
    {"NoCDDAMSF", Kind::Negative, 1, Written::Never, kCDDAMSF},
    {"NoCDDAScan", Kind::Negative, 1, Written::WhenZero, kCDDAScan},
    {"NoModeLen", Kind::Negative, 1, Written::WhenZero, kModeLenReq},
    {"NoRaw", Kind::Negative, 1, Written::WhenZero, kRaw},
    {"NoLoadDisc", Kind::Negative, 1, Written::WhenZero, kLoadDisc},
    {"NoCDText", Kind::Negative, 1, Written::Never, kCDText},
    {"NoProgress", Kind::Negative, 1, Written::WhenZero, kProgress},
    {"CDDALen", Kind::Number, 16, Written::Always, kCDDALen},
    {"BufSz", Kind::Number, 16, Written::WhenNotZero, kBufSz},
    {"SerNbr", Kind::Number, 16, Written::WhenNotZero, kSerNbr},
    {"MaxWrtLen", Kind::Number, 16, Written::WhenNotZero, kMaxWrtLen},
    {"BfOv", Kind::Number, 16, Written::WhenNotZero, kBfOv},
    {"BfMax", Kind::Number, 16, Written::WhenNotZero, kBfMax},
    {"Rtry", Kind::Number, 8, Written::WhenNotZero, kRtry},
    {"MechType", Kind::Number, 8, Written::Always, kMechType},
    {"CDDADen", Kind::Number, 8, Written::Always, kCDDADen},
    {"CDDACmd", Kind::Number, 8, Written::Always, kCDDACmd},
    {"RawCmd", Kind::Number, 8, Written::Always, kRawCmd},
    {"WCmd", Kind::Number, 8, Written::WhenNotZero, kWCmd},
    {"TrkInfo", Kind::Number, 8, Written::Always, kTrkInfo},
    {"LoadEj", Kind::Number, 8, Written::Always, kLoadEj},
    {"RstCmd", Kind::Number, 8, Written::WhenNotZero, kRstCmd},
    {"SubQVal", Kind::Number, 8, Written::Always, kSubQVal},
    {"SubRW", Kind::Number, 8, Written::Always, kSubRW},
    {"ErrScan", Kind::Number, 8, Written::Always, kErrScan},
    {"SpeedCode", Kind::Number, 8, Written::Always, kSpeedCode},
    {"Speed", Kind::Number, 8, Written::WhenSpeedSet, kSpeed},
    {"WSpd", Kind::List, 16, Written::WhenNotEmpty, kWSpd},
    {"WDVDSpd", Kind::List, 16, Written::WhenNotEmpty, kWDVDSpd},
    {"WFmt", Kind::Number, 8, Written::WhenNotZero, kWFmt},
}};

// The key named `name` (case ignored), or null for an unknown key.
const Key* FindKey(std::string_view name);

}  // namespace dravik::device::ddb
