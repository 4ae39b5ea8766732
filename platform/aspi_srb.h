// ASPI for Win32: command codes, status values, flags and the request
// blocks (SRBs) in the published field order, packed to bytes. The ASPI
// transport builds them; the ASPI manager (platform/wnaspi32) carries them
// out. Both read and write them as byte arrays through byte_order.h and
// the pointer helpers below.
//
// Pointers: the published layouts are 32-bit, with 4-byte pointers. On this
// 64-bit platform each pointer field is 8 bytes. Every field before the
// first pointer of a block keeps its published offset (all of
// SRB_HAInquiry, SRB_GDEVBlock and SRB_GetSetTimeouts, which hold no
// pointer; the first 16 bytes of SRB_ExecSCSICmd); each pointer moves the
// fields after it by 4 bytes. The offsets below are this platform's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/byte_order.h"

namespace dravik::platform::aspi {

// A pointer stored in a request block as a 64-bit little-endian number.
inline void PutPointer(uint8_t* at, const void* p) { bytes::PutLe64(at, reinterpret_cast<uintptr_t>(p)); }
template <typename T>
inline T* GetPointer(const uint8_t* at) {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(bytes::GetLe64(at)));
}

// Command codes.
inline constexpr uint8_t SC_HA_INQUIRY = 0x00;
inline constexpr uint8_t SC_GET_DEV_TYPE = 0x01;
inline constexpr uint8_t SC_EXEC_SCSI_CMD = 0x02;
inline constexpr uint8_t SC_ABORT_SRB = 0x03;
inline constexpr uint8_t SC_RESET_DEV = 0x04;
inline constexpr uint8_t SC_GETSET_TIMEOUTS = 0x08;

// SRB status values (and results of SendASPI32Command / support info).
inline constexpr uint8_t SS_PENDING = 0x00;
inline constexpr uint8_t SS_COMP = 0x01;
inline constexpr uint8_t SS_ABORTED = 0x02;
inline constexpr uint8_t SS_ABORT_FAIL = 0x03;
inline constexpr uint8_t SS_ERR = 0x04;
inline constexpr uint8_t SS_INVALID_CMD = 0x80;
inline constexpr uint8_t SS_INVALID_HA = 0x81;
inline constexpr uint8_t SS_NO_DEVICE = 0x82;
inline constexpr uint8_t SS_INVALID_SRB = 0xE0;
inline constexpr uint8_t SS_NO_ASPI = 0xE3;
inline constexpr uint8_t SS_BUFFER_TO_BIG = 0xE6;
inline constexpr uint8_t SS_MISMATCHED_COMPONENTS = 0xE7;
inline constexpr uint8_t SS_NO_ADAPTERS = 0xE8;
inline constexpr uint8_t SS_BAD_INSTALL = 0xEB;

// Host adapter status values.
inline constexpr uint8_t HASTAT_OK = 0x00;
inline constexpr uint8_t HASTAT_TIMEOUT = 0x09;
inline constexpr uint8_t HASTAT_COMMAND_TIMEOUT = 0x0B;
inline constexpr uint8_t HASTAT_BUS_RESET = 0x0E;
inline constexpr uint8_t HASTAT_SEL_TO = 0x11;
inline constexpr uint8_t HASTAT_BUS_FREE = 0x13;
inline constexpr uint8_t HASTAT_PHASE_ERR = 0x14;

// SRB_Flags.
inline constexpr uint8_t SRB_POSTING = 0x01;
inline constexpr uint8_t SRB_ENABLE_RESIDUAL_COUNT = 0x04;
inline constexpr uint8_t SRB_DIR_IN = 0x08;
inline constexpr uint8_t SRB_DIR_OUT = 0x10;
inline constexpr uint8_t SRB_EVENT_NOTIFY = 0x40;

inline constexpr size_t SENSE_LEN = 14;

// Header shared by every block.
inline constexpr size_t kCmd = 0;
inline constexpr size_t kStatus = 1;
inline constexpr size_t kHaId = 2;
inline constexpr size_t kFlags = 3;
inline constexpr size_t kHdrRsvd = 4;  // 4

namespace ha_inquiry {  // SRB_HAInquiry, 60 bytes (published offsets)
inline constexpr size_t kHaCount = 8;
inline constexpr size_t kHaScsiId = 9;
inline constexpr size_t kManagerId = 10;   // 16
inline constexpr size_t kIdentifier = 26;  // 16
inline constexpr size_t kUnique = 42;      // 16; byte 3 (offset 45): targets per adapter
inline constexpr size_t kMaxTargets = 45;
inline constexpr size_t kSize = 60;
}  // namespace ha_inquiry

namespace dev_block {  // SRB_GDEVBlock, 12 bytes (published offsets)
inline constexpr size_t kTarget = 8;
inline constexpr size_t kLun = 9;
inline constexpr size_t kDeviceType = 10;
inline constexpr size_t kSize = 12;
}  // namespace dev_block

namespace exec {  // SRB_ExecSCSICmd: 80 bytes published, 92 here
inline constexpr size_t kTarget = 8;
inline constexpr size_t kLun = 9;
inline constexpr size_t kBufLen = 12;      // 4
inline constexpr size_t kBufPointer = 16;  // 8 (4 published)
inline constexpr size_t kSenseLen = 24;    // published 20
inline constexpr size_t kCdbLen = 25;      // published 21
inline constexpr size_t kHaStat = 26;      // published 22
inline constexpr size_t kTargStat = 27;    // published 23
inline constexpr size_t kPostProc = 28;    // 8; published 24
inline constexpr size_t kRsvd2 = 36;       // 8; published 28
inline constexpr size_t kRsvd3 = 44;       // 16; published 32
inline constexpr size_t kCdb = 60;         // 16; published 48
inline constexpr size_t kSenseArea = 76;   // SENSE_LEN + 2; published 64
inline constexpr size_t kCdbMax = 16;
inline constexpr size_t kSenseAreaLength = SENSE_LEN + 2;
inline constexpr size_t kSize = 92;
}  // namespace exec

namespace abort_srb {  // SRB_Abort: 12 bytes published, 16 here
inline constexpr size_t kToAbort = 8;  // 8
inline constexpr size_t kSize = 16;
}  // namespace abort_srb

namespace reset {  // SRB_BusDeviceReset: 64 bytes published, 72 here
inline constexpr size_t kTarget = 8;
inline constexpr size_t kLun = 9;
inline constexpr size_t kHaStat = 22;
inline constexpr size_t kTargStat = 23;
inline constexpr size_t kPostProc = 24;  // 8
inline constexpr size_t kRsvd2 = 32;     // 8
inline constexpr size_t kCdb = 56;       // published 48
inline constexpr size_t kSize = 72;
}  // namespace reset

namespace timeouts {  // SRB_GetSetTimeouts, 14 bytes (published offsets)
inline constexpr size_t kTarget = 8;
inline constexpr size_t kLun = 9;
inline constexpr size_t kTimeout = 10;  // 4, half-seconds
inline constexpr size_t kSize = 14;
}  // namespace timeouts

// The module's two entry points.
using GetSupportInfoFunction = uint32_t (*)();
using SendCommandFunction = uint32_t (*)(void* srb);

}  // namespace dravik::platform::aspi
