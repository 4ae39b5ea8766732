// DDBInfo: what the device library knows about one drive model, read from
// and written back to the shared device database file (ASPIDEV.DDB).
//
// The record is reset to defaults, named after the drive, looked up in the
// file (GetDeviceInfo), changed by the setters as the command layer learns
// about the drive (each marks the record modified) and written back as the
// drive's entry on request (UpdateDeviceInfo). Several processes may share
// the file; a lock keyed by the file's absolute path serialises the file
// operations, and a rewrite never leaves the file half-written.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/ddb/ddb_keys.h"
#include "device/ddb/ddb_text.h"
#include "device/device_callbacks.h"
#include "device/export.h"

namespace dravik::platform {
class FileLock;
}

namespace dravik::device {

// Counts of the last AnalyzeDatabase run, for reports.
struct DDBAnalysis {
    int sections = 0;
    int entries = 0;
    int failures = 0;   // entries (or malformed lines) that do not parse
};

class ZOLTDEV_API DDBInfo {
public:
    using MessageCallback = dravik::device::MessageCallback;   // int (*)(int id, ...)

    // Message ids raised through the callback; id 0 passes a finished text.
    static constexpr int kMsgBadEntry = 3201;      // text near the error, product or vendor
    static constexpr int kMsgCannotOpen = 3203;    // file name, system error text
    static constexpr int kMsgCannotRead = 3205;    // file name, system error text
    static constexpr int kMsgNoMemory = 3206;      // no arguments
    static constexpr int kMsgCannotWrite = 3207;   // temporary name, system error text

    static constexpr int kListEntries = 30;        // a speed list's table, end mark included
    static constexpr uint16_t kListEnd = 0xFFFF;
    static constexpr std::size_t kDeviceNameChars = 26;
    static constexpr std::size_t kUpdateEntryLimit = 400;

    explicit DDBInfo(MessageCallback callback = nullptr);
    // A copy takes every field, the lists and both names, but no lock: it
    // creates its own when it first touches the file.
    DDBInfo(const DDBInfo& other);
    DDBInfo& operator=(const DDBInfo& other);
    ~DDBInfo();

    void SetMsgCallback(MessageCallback callback);
    void SetFileName(const char* path);
    const char* GetFileName() const { return fileName_.c_str(); }

    // Every key field to its default: 0, both lists empty, CDText 1,
    // progress 1, SpeedCode 255; the modified, speed-set, MMC and CD-DA good
    // flags cleared. The no-generic flag and both names are kept.
    void Reset();

    // Reads the current device's entry into the record. True also when the
    // file has no entry for the device (the record is then unchanged) and
    // when no file name is set.
    bool GetDeviceInfo();
    // Writes the record back as the device's entry (adding it, and its
    // section, when missing). False with no file name, when the file cannot
    // be written (silently when the user may not write it), or when the
    // entry does not fit its length limit; the file is then unchanged.
    bool UpdateDeviceInfo();
    // Parses every entry of the file; false when any entry (or malformed
    // line) does not parse. The record keeps what the entries set.
    bool AnalyzeDatabase();
    const DDBAnalysis& GetAnalysis() const { return analysis_; }

    // The entry text the writer produces: with a product name a whole line
    // (TAB, product, ":", tokens, CR LF), without one just the tokens and
    // CR LF. Empty, after an id-0 message, when it would exceed `limit`.
    std::string FormatEntry(const char* product, std::size_t limit) const;

    // --- setters (each marks the record modified unless noted) ---
    void SetDeviceName(const char* name);   // at most 26 characters kept
    void SetNoGeneric(bool on) { noGeneric_ = on; }   // not a key; no mark
    void SetModified(bool on) { modified_ = on; }
    void SetMMC(bool on) { mmc_ = on; }                // not stored; no mark
    void SetCDDAGood(bool on) { cddaGood_ = on; }      // not stored; no mark

    void SetCDDAMSF(bool on) { SetFlag(ddb::kCDDAMSF, on); }
    void SetCDDAEnable(bool on) { SetFlag(ddb::kCDDAScan, on); }
    void SetMode10(bool on) { SetFlag(ddb::kMode10, on); }
    void SetRawModeAvail(bool on) { SetFlag(ddb::kRaw, on); }
    void SetDeviceReg(bool on) { SetFlag(ddb::kDevReg, on); }
    void SetNoBlockSizeChange(bool on) { SetFlag(ddb::kNoBlkSet, on); }
    void SetLoadDisc(bool on) { SetFlag(ddb::kLoadDisc, on); }
    void SetATIPMode(bool canRead) { SetFlag(ddb::kNoATIP, !canRead); }
    void SetSubRWAvail(bool on) { SetFlag(ddb::kSubRWAvail, on); }
    void SetSubRWDeinter(bool on) { SetFlag(ddb::kSubRWDe, on); }
    void SetCDTextMode(bool on) { SetFlag(ddb::kCDText, on); }
    void SetOpcMode(bool useOpc) { SetFlag(ddb::kNoOPC, !useOpc); }
    void SetMRWSupport(bool on) { SetFlag(ddb::kMRW, on); }
    void SetPlusRWSupport(bool on) { SetFlag(ddb::kDVDPlusRW, on); }
    void SetMinusRWSupport(bool on) { SetFlag(ddb::kDVDMinusRW, on); }
    void SetRetryChange(bool on);            // marks only when the value changes
    void SetFullErase(bool on) { SetFlag(ddb::kFErase, on); }
    void SetModeLenReq(bool on) { SetFlag(ddb::kModeLenReq, on); }
    void SetProgress(bool on) { SetFlag(ddb::kProgress, on); }
    void SetCDDALen(int value) { SetNumber(ddb::kCDDALen, value); }
    void SetBufferSize(int value) { SetNumber(ddb::kBufSz, value); }
    void SetMaxWrtLen(int value) { SetNumber(ddb::kMaxWrtLen, value); }
    void SetBuffOverhead(int value) { SetNumber(ddb::kBfOv, value); }
    void SetBuffMax(int value) { SetNumber(ddb::kBfMax, value); }
    void SetMechType(int value) { SetNumber(ddb::kMechType, value); }
    void SetCDDADensity(int value) { SetNumber(ddb::kCDDADen, value); }
    void SetCDDACmd(int value) { SetNumber(ddb::kCDDACmd, value); }
    void SetRawCmd(int value) { SetNumber(ddb::kRawCmd, value); }
    void SetWriteCmd(int value);             // also sets WFmt to 1
    void SetTrackInfoCmd(int value) { SetNumber(ddb::kTrkInfo, value); }
    void SetLoadCmd(int value) { SetNumber(ddb::kLoadEj, value); }
    void SetSubQ(int value) { SetNumber(ddb::kSubQVal, value); }
    void SetScanParm(int value) { SetNumber(ddb::kErrScan, value); }
    void SetSpeedCode(int value) { SetNumber(ddb::kSpeedCode, value); }

    // Insert a speed into group 1 (false) or group 2 (true) of WSpd or
    // WDVDSpd, keeping the group ascending and free of duplicates. These do
    // not mark the record modified.
    void SetDeviceWriteSpeed(int speed, bool group2);
    void SetDVDWriteSpeed(int speed, bool group2);
    // A WSpd value of a group: index -1 is the group's largest; 0 when the
    // group is shorter or missing; -1 when asked for -1 of an empty list.
    int GetDeviceWriteSpeed(int index, bool group2) const;
    // Speed when it was read from the file, else -1.
    int GetSpeedValue() const { return speedSet_ ? Value(ddb::kSpeed) : -1; }

    // --- readers ---
    const char* GetDeviceName() const { return deviceName_.c_str(); }
    bool IsModified() const { return modified_; }
    bool IsSpeedSet() const { return speedSet_; }
    bool IsNoGeneric() const { return noGeneric_; }
    bool IsMMC() const { return mmc_; }
    bool IsCDDAGood() const { return cddaGood_; }
    // Any key field by slot (8 or 16 bits as the key is wide).
    unsigned Value(ddb::Field field) const { return values_[field]; }
    bool Flag(ddb::Field field) const { return values_[field] != 0; }
    // A speed list's table: values, separator, values, end mark.
    const uint16_t* List(ddb::ListField list) const { return lists_[list]; }

    bool IsCDDAMSF() const { return Flag(ddb::kCDDAMSF); }
    bool IsLittleEndian() const { return Flag(ddb::kCDDALE); }
    bool IsCDDAEnabled() const { return Flag(ddb::kCDDAScan); }
    bool IsMode10() const { return Flag(ddb::kMode10); }
    bool IsRawModeAvail() const { return Flag(ddb::kRaw); }
    bool IsDeviceReg() const { return Flag(ddb::kDevReg); }
    bool IsNoBlockSizeChange() const { return Flag(ddb::kNoBlkSet); }
    bool CanLoadDisc() const { return Flag(ddb::kLoadDisc); }
    bool CanReadATIP() const { return !Flag(ddb::kNoATIP); }
    bool IsSubRWAvail() const { return Flag(ddb::kSubRWAvail); }
    bool IsSubRWDeinter() const { return Flag(ddb::kSubRWDe); }
    bool CanReadCDText() const { return Flag(ddb::kCDText); }
    bool IsDisabled() const { return Flag(ddb::kDisabled); }
    bool IsTestReset() const { return Flag(ddb::kTestRst); }
    bool UseOpc() const { return !Flag(ddb::kNoOPC); }
    bool IsNoImmediateClose() const { return Flag(ddb::kNoImmedCls); }
    bool IsMRW() const { return Flag(ddb::kMRW); }
    bool IsDVDPlusRW() const { return Flag(ddb::kDVDPlusRW); }
    bool IsDVDMinusRW() const { return Flag(ddb::kDVDMinusRW); }
    bool CanChangeRetry() const { return Flag(ddb::kRtryChg); }
    bool IsFullEraseOnly() const { return Flag(ddb::kFErase); }
    bool IsNoFeatures() const { return Flag(ddb::kNoFeat); }
    bool IsModeLenReq() const { return Flag(ddb::kModeLenReq); }
    bool CanRptProgress() const { return Flag(ddb::kProgress); }
    unsigned GetCDDALen() const { return Value(ddb::kCDDALen); }
    unsigned GetBufferSize() const { return Value(ddb::kBufSz); }
    unsigned GetMaxWrtLen() const { return Value(ddb::kMaxWrtLen); }
    unsigned GetBuffOverhead() const { return Value(ddb::kBfOv); }
    unsigned GetBufferMax() const { return Value(ddb::kBfMax); }
    unsigned GetRetryCount() const { return Value(ddb::kRtry); }
    unsigned GetMechType() const { return Value(ddb::kMechType); }
    unsigned GetCDDADensity() const { return Value(ddb::kCDDADen); }
    unsigned GetCDDACmd() const { return Value(ddb::kCDDACmd); }
    unsigned GetRawCmd() const { return Value(ddb::kRawCmd); }
    unsigned GetWriteCmd() const { return Value(ddb::kWCmd); }
    unsigned GetTrackInfoCmd() const { return Value(ddb::kTrkInfo); }
    unsigned GetLoadCmd() const { return Value(ddb::kLoadEj); }
    unsigned GetResetCmd() const { return Value(ddb::kRstCmd); }
    unsigned GetSubQVal() const { return Value(ddb::kSubQVal); }
    unsigned GetSubRW() const { return Value(ddb::kSubRW); }
    unsigned GetScanParm() const { return Value(ddb::kErrScan); }
    unsigned GetSpeedCode() const { return Value(ddb::kSpeedCode); }
    unsigned GetWriteFormat() const { return Value(ddb::kWFmt); }

private:
    void SetFlag(ddb::Field field, bool on);
    void SetNumber(ddb::Field field, int value);
    void StoreNumber(const ddb::Key& key, uint32_t value);

    // Raises a message with C-string arguments through the callback.
    void Message(int id, const char* a = nullptr, const char* b = nullptr) const;
    // Takes the lock on the file, creating it on first use.
    void Lock();
    void Unlock();
    // Reads the whole file into `text` under the lock; false after the
    // message when it cannot be opened or read.
    bool ReadDatabase(std::string& text);
    // Applies a value list (the text after the ":" up to the line end).
    bool ParseValueList(std::string_view values, const std::string& product);
    // Applies the value list of an entry line found in `text`.
    bool ParseEntryValues(std::string_view text, const ddb::EntryLine& line, const std::string& product);
    // The new file content for an update; false when the entry does not fit.
    bool ComposeUpdate(const std::string& old, std::string& updated) const;
    // Resolves the file name to the absolute path the lock is keyed by and
    // the rewrite goes to (a symbolic link stays a link).
    std::string ResolvedPath() const;

    MessageCallback callback_ = nullptr;
    std::unique_ptr<dravik::platform::FileLock> lock_;
    std::string lockKey_;
    bool modified_ = false;
    bool speedSet_ = false;
    bool noGeneric_ = false;
    bool mmc_ = false;
    bool cddaGood_ = false;
    uint16_t values_[ddb::kFieldCount] = {};
    uint16_t lists_[ddb::kListCount][kListEntries] = {};
    std::string deviceName_;
    std::string fileName_;
    DDBAnalysis analysis_;
};

}  // namespace dravik::device
