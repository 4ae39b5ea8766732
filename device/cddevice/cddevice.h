// CDDevice: the one class through which the program reaches an optical
// drive. One object stands for one drive; it owns a clone of the
// library-wide transport prototype, a device-database record and a work
// buffer, keeps the caller's callbacks and the drive's current state (modes,
// disc kind, sense of the last failure, error counters, abort flag).
//
// Library-wide: Initialize picks and starts a transport and keeps its
// prototype; Terminate stops it. Every object constructed by default clones
// the prototype. Texts returned as const char* belong to the object and stay
// valid until its next call of the same family.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "device/device_callbacks.h"
#include "device/export.h"

namespace dravik::device {

class DDBInfo;
class DeviceIntf;
class WriteParameters;
struct DevRequest;
struct OPCEntry;

class ZOLTDEV_API CDDevice {
public:
    // Actions for WinVolume; only NewVolume is acted on by any transport.
    enum VOLUMEACTION { NoVolumeAction = 0, NewVolume = 1 };

    static constexpr int kWorkBufferBytes = 2608;
    static constexpr int kTextBufferChars = 300;
    static constexpr int kCapabilityBytes = 21;
    static constexpr int kDiskIdentBytes = 25;
    static constexpr int kSerialNumberChars = 33;
    static constexpr int kSenseTextChars = 150;
    static constexpr int kSenseTextBase = 8000;  // string id of a sense text: 8000 + ASC

    // Sense keys that do not come from a drive.
    static constexpr uint8_t kSenseSystemError = 254;  // ASC + 256 * ASCQ is a system error code
    // A reply the library refused: shorter than its own length field says,
    // or without the parts the command must return (ASC 0x26, ASCQ 1).
    static constexpr uint8_t kSenseMalformedReply = 255;

    // --- library-wide ---

    // Chooses and starts a transport and keeps its prototype. The callback
    // receives the start-up log lines (id 0, texts beginning with "!") and
    // the transports' start-up errors. Must run before any CDDevice is
    // constructed; false when no transport starts.
    static bool Initialize(ResourceModule resourceModule, MessageCallback log);
    // Clears the crash marker, stops the transport and deletes the prototype.
    static void Terminate();

    // --- object life ---
    CDDevice();
    CDDevice(const CDDevice& other);
    CDDevice& operator=(const CDDevice& other);
    ~CDDevice();

    // --- device list and access (forwarded to the transport) ---
    bool FirstDevice();
    bool NextDevice();
    bool OpenDevice();
    bool CloseDevice();
    const char* GetDeviceId();
    unsigned char GetDeviceTypeCode() const;  // 255 = none
    unsigned char GetDriveLetter() const;     // 255 = none
    bool WinVolume(VOLUMEACTION action);

    // --- setup and checks ---
    // TEST UNIT READY; on failure the sense stays in the object.
    bool CheckDevice(bool retry);
    bool UpdateDeviceInformation();
    void SetDDBFilename(const std::string& path);
    // "ZOLTDEV <ProductVersion>, <transport version>"; empty when the module
    // holding the library carries no version information.
    const char* GetIntfVersion();
    const char* GetDeviceName() const;

    // --- error text ---
    const char* FormatErrorSense();
    // The system's text of an error code, cut before its closing full stop,
    // into buf (at least kTextBufferChars); an unknown code gives "".
    static char* GetErrorString(char* buf, unsigned long code);

    // --- callbacks and control ---
    void SetMessageCallback(MessageCallback callback);
    void SetDebugCallback(DebugCallback callback);
    void SetDebugDump(DebugDumpCallback callback);
    void SetDebugLevel(int level);
    MessageCallback GetMessageCallback() const { return messageCallback_; }
    DebugCallback GetDebugCallback() const { return debugCallback_; }
    DebugDumpCallback GetDebugDump() const { return debugDump_; }
    int GetDebugLevel() const { return debugLevel_; }

    // Set from any thread (the progress dialog's cancel); read by the read
    // retry loops and by the transports, whose retry budgets drop to zero.
    void SetAbortFlag() { abortFlag_.store(true, std::memory_order_relaxed); }
    void ClearAbortFlag() { abortFlag_.store(false, std::memory_order_relaxed); }
    bool IsAbortSet() const { return abortFlag_.load(std::memory_order_relaxed); }

    void SetErrorMode(bool on) { errorMode_ = on; }
    void SetErrorScanMode(bool on) { errorScanMode_ = on; }
    void SetRecoveredMode(bool on) { recoveredMode_ = on; }
    void SetPromptSuppress(bool on) { promptSuppress_ = on; }
    void SetFakeMode3(bool on) { fakeMode3_ = on; }
    bool IsFakeMode3() const { return fakeMode3_; }

    void SetReadRetry(int count) { readRetry_ = static_cast<int16_t>(count); }
    int GetReadRetry() const { return readRetry_; }
    int GetHardwareRetry() const { return hardwareRetry_; }

    void ZeroErrorCounts() { recoveredErrors_ = mediaErrors_ = otherErrors_ = 0; }
    void SetRecoveredErrors(int count) { recoveredErrors_ = count; }
    int GetRecoveredErrors() const { return recoveredErrors_; }
    int GetMediaErrors() const { return mediaErrors_; }
    int GetOtherErrors() const { return otherErrors_; }

    // Byte-order reversal of big-endian SCSI fields.
    static short ShortSwap(short value);
    static unsigned LongSwap(unsigned value);

    // --- state of the object ---
    unsigned char GetSenseKey() const { return senseKey_; }
    unsigned char GetSenseCode() const { return asc_; }
    unsigned char GetSenseAddCode() const { return ascq_; }
    unsigned GetSenseInfo() const { return senseInfo_; }
    int GetErrorBlock() const { return errorBlock_; }
    const unsigned char* GetDiskIdent() const { return diskIdent_; }
    int GetSectorSize() const { return sectorSize_; }
    unsigned char GetInactMult() const { return inactivityMultiplier_; }
    unsigned char GetMediaType() const { return mediaType_; }
    bool InRawMode() const { return rawMode_; }
    bool InCDDAMode() const { return cddaMode_; }
    bool IsRecorder() const { return recorder_; }
    bool IsMRW() const { return mrw_; }
    bool IsDVDDisc() const { return dvdDisc_; }
    bool IsDVDPlusDisc() const { return dvdPlusDisc_; }
    bool IsDVDMinusDisc() const { return dvdMinusDisc_; }
    bool IsDVDPlusR() const { return dvdPlusR_; }
    bool IsC2Available() const;
    bool IsDVDErasable() const;
    bool IsRawAvail() const;
    bool IsCDDAAvail() const;
    // Copies len bytes of the capabilities page (at most 21; a negative
    // length copies 21); returns whether the page was read.
    bool GetCapabilities(unsigned char* buffer, int length) const;

    // --- device-record settings (the record owns their meaning) ---
    bool IsDeviceReg() const;
    bool IsSpeedSet() const;
    bool IsMMC() const;
    bool IsLittleEndian() const;
    bool IsSubRWAvail() const;
    bool IsSubRWDeinter() const;
    bool IsMode10() const;
    bool CanLoadDisc() const;
    bool CanReadCDText() const;
    bool CanRptProgress() const;
    bool IsDVDPlusRW() const;
    bool IsDVDMinusRW() const;
    bool CanChangeRetry() const;
    bool IsFullEraseOnly() const;
    bool CanReadATIP() const;
    unsigned char GetCDDACmd() const;
    unsigned char GetRawCmd() const;
    unsigned char GetTrackInfoCmd() const;
    unsigned char GetWriteCmd() const;
    unsigned char GetSubQVal() const;
    unsigned char GetScanParm() const;
    short GetBufferSize() const;
    short GetMaxWrtLen() const;
    short GetBuffOverhead() const;
    short GetBufferMax() const;
    int GetSpeedValue() const;
    int GetDeviceWriteSpeed(int index, bool group2) const;
    void SetCDDAAvail(bool on);
    void SetRawAvail(bool on);
    void SetScanParm(int value);
    void SetDeviceReg(bool on);
    void SetTrackInfoCmd(int value);
    void SetProgressRpt(bool on);
    void SetCDTextMode(bool on);
    void SetBufferSize(int value);
    void SetBuffOverhead(int value);
    void SetRetryChange(bool on);
    void SetSubQVal(int value);
    void SetBufferMax(int value);
    void SetDeviceWriteSpeed(int speed, bool group2);
    void SetNoGeneric(bool on);

    // --- reads and sector modes ---
    // count sectors from block: 2048 bytes each, 2352 in raw mode, through
    // ReadCDDA in CD-DA mode; retried, classified or reported by the modes.
    bool ReadCD(int block, void* buf, int count);
    // count audio sectors of 2352 bytes (2368 with the 16-byte sub-Q).
    bool ReadCDDA(int block, void* buf, int count, bool withSubQ);
    // The 16-byte Q sub-channel of one sector.
    bool ReadSubQ(int block, void* out16);
    // READ SUB-CHANNEL data (256 bytes) of the given format and track.
    bool ReadSubchannel(int format, int track, void* buf);
    // count sectors of 2448 bytes: the sector and its R-W sub-channel.
    bool ReadCDSubRW(int block, void* buf, int count);
    // READ CD with the fields of flags' low byte; flag 0x100 asks for a quiet read.
    bool ReadCDAny(int block, void* buf, int count, int flags);
    // Switches 2048/2352-byte reads.
    bool SetRawSectorMode(bool raw);
    // Switches reads through the CD-DA command.
    bool SetCDDAMode(bool on);
    // Records a new sector size and returns the drive to 2048-byte blocks.
    bool ChangeSectorSize(int size);
    // 0 none, 1 recovered, 2 medium, 3 other: the class of the last failed read.
    int GetLastErrorClass() const { return lastErrorClass_; }

    // --- disc, TOC and drive queries ---
    // INQUIRY, 128 bytes, tried up to 100 times.
    bool Inquiry(unsigned char* buf);
    // Disc information (track 0, 32 bytes) or the track information of a
    // track number, or a block address above 255 (28 bytes; 255 on 0xE6 drives).
    bool ReadCDRWInfo(void* buf, int track);
    // READ TOC/PMA/ATIP; mode = format * 256 + track or session number.
    bool ReadCDToc(int mode, void* buf, int len);
    // Ejects or loads the tray with the record's load command.
    bool CDTrayControl(bool eject);
    // LOAD/UNLOAD MEDIUM of a changer slot.
    bool MediaSlotControl(bool load, int slot);
    // PREVENT ALLOW MEDIUM REMOVAL.
    bool LockTray(bool lock);
    // SEEK(10) to block.
    bool SeekDrive(int block);
    // READ DVD STRUCTURE; for format 0x30 the address is taken from buf[0..3].
    bool GetDVDStructure(int format, int layer, char* buf, int len);
    // READ FORMAT CAPACITIES.
    bool GetFormatCapacity(void* buf, int len);
    // The logical unit serial number as text; len counts the terminating zero.
    bool GetSerialNumber(char* buf, int len);
    // Mount Rainier address space: general application (true) or defect managed.
    bool ChangeAddressMode(bool gaa);
    // The DVD-R manufacturer text of the disc; empty without a DVD.
    const char* FormatDVDManufacturer();
    // The current profile (and the DVD flags it implies); 0 on failure.
    int GetCurrentConfiguration();

    // --- device check, read speed and error recovery ---
    // Why the last VerifyDevice refused the drive (VerifyAccepted after true).
    enum VerifyRefusal {
        VerifyAccepted = 0,
        VerifyNoInquiry,      // the drive does not answer INQUIRY
        VerifyShortInquiry,   // its INQUIRY data end before the product name
        VerifyFixedDisk,      // a direct-access device that is not removable
        VerifyNoDatabase,     // the device database could not be read
        VerifyDisabled,       // its database entry sets Disabled
    };
    // Decides whether the drive at the transport's position is an optical
    // drive to offer, names it, looks it up in the device database and
    // learns its command forms, speed method, buffer size and capabilities;
    // checkMedia also classifies the disc (GetMediaType).
    bool VerifyDevice(bool checkMedia);
    VerifyRefusal GetVerifyRefusal() const { return verifyRefusal_; }
    // Sets the read speed by the record's speed method; -1 = the drive's
    // own speed value as the device check found it.
    bool SetDriveReadSpeed(int speed);
    // Current read speed in the method's unit; 0 without a method,
    // 0xFFFFFFFF when the mode sense fails.
    unsigned GetReadSpeed();
    // The drive's read retry count (page 0x01 byte 3).
    bool SetHardwareRetry(int count);
    // state = recovery parameter * 256 + retry count; -1 only reads (the
    // changeable values) and records whether the retry count can change.
    bool SetRecoveryState(int state, int* current);
    // The read speed the device check found, in the speed method's unit.
    unsigned char GetDriveSpeedValue() const { return driveSpeedValue_; }
    bool InErrorScanMode() const { return errorScanMode_; }
    bool IsRecoveryPageRefused() const { return recoveryPageRefused_; }
    bool IsAWRE() const { return awre_; }
    bool IsARRE() const { return arre_; }
    bool IsANSIVersion0() const { return ansiVersion0_; }

    // --- recording (write_*.cpp) ---
    // The command forms come from the device record: WCmd and WFmt (1: a
    // 10-byte write CDB, 2: 12-byte, else the drive does not write),
    // NoOPC, NoImmedCls, TestRst with RstCmd, DVD+RW, DVD-RW, TrkInfo.
    // Every wait for a busy recorder ends after the writer time-out or
    // when the abort flag is set, with the sense of the last poll kept.
    // Prepares a write: disc and track state, addresses, page 0x05, speed.
    bool InitWrite(WriteParameters& wp);
    // bytes / wp.blockSize blocks at the current write address.
    bool WriteData(WriteParameters& wp, void* buf, int bytes);
    // SYNCHRONIZE CACHE; for packet writing also the next writable address.
    bool SynchronizeCache(WriteParameters& wp);
    bool CloseTrack(WriteParameters& wp, bool closeSession);
    bool CloseSession(WriteParameters& wp);
    bool ReserveTrack(WriteParameters& wp);
    bool RepairTrack(WriteParameters& wp);
    // BLANK (quick: minimal), or the background format of a DVD+RW.
    bool BlankDisc(bool quick);
    // True when the drive is ready for the next command of a write.
    bool PollWriter();
    bool SetWriteSpeed(int speed);
    bool SendOPC(OPCEntry* entries, int bytes);
    bool GetCDCapacity(unsigned* freeBlocks, unsigned* usedBlocks, bool fixedPacket);
    bool CheckWriteSpeed(int speed, bool testWrite);
    int GetWriteSpeed();
    // Free part of the drive's buffer in percent; 0 on failure.
    unsigned GetBufferSpace();
    // Upper limit of every wait for a busy recorder (default ten minutes).
    void SetWriterTimeout(int milliseconds) { writerTimeoutMs_ = milliseconds; }
    int GetWriterTimeout() const { return writerTimeoutMs_; }

    // --- for the library's own classes (DevCommand, the command layer) ---
    DeviceIntf* Transport() const { return transport_.get(); }
    DDBInfo* DeviceRecord() const { return deviceRecord_.get(); }
    unsigned char* WorkBuffer() const { return workBuffer_.get(); }
    ResourceModule GetResourceModule() const { return resourceModule_; }

protected:
    // Takes the request's sense into the object and formats it.
    const char* FormatSense(DevRequest* request);
    // Walks the feature descriptors: Mount Rainier, DVD support, serial number.
    bool GetFeatures();
    // MODE SENSE(6) or (10) of page (page-control bits in bits 7-6) into buf,
    // *len bytes; on success *len is the mode data length byte and
    // *pageOffset where the page begins.
    bool ModeSenseCommand(int page, unsigned char* buf, int* len, int* pageOffset);
    // MODE SELECT(6) or (10) of the parameter list the caller built in buf
    // (request may be null: the command builds its own).
    bool ModeSelectCommand(DevRequest* request, unsigned char* buf);
    // Re-applies the last accepted recovery state and read speed.
    void ResetDeviceParameters();
    // READ BUFFER: the drive's buffer size (KB) into the record.
    bool ReadDeviceBufferSize();
    // AWRE and ARRE from the changeable values of page 0x01.
    bool CheckAutoRealloc();
    // Name clean-up: trailing blanks removed (never the first character);
    // every run of blanks reduced to one. Both work in place and return s.
    static char* strip(char* s);
    static char* SingleSpace(char* s);
    // GET PERFORMANCE of the write speeds, logged only.
    void GetWritePerformance();
    // Write speeds of page 0x2A into the device record.
    bool SetSpeedFromCapabilities();
    // Recording steps.
    bool SetRMDTimestamp();
    bool CheckDriveParameters(bool fixedPacket);
    bool BeginDVDPlusFormat(bool restart);
    bool CheckFormatInProgress();
    bool HaltFormat();

private:
    // Sends a request through the transport; false with transport-failure
    // sense in the request when the object has none.
    bool Send(DevRequest& request, bool interpret = true);
    // Copies the request's sense key, ASC and ASCQ (and with `info` the
    // information field) into the object.
    void TakeSense(const DevRequest& request, bool info = false);
    void SetSense(uint8_t key, uint8_t asc, uint8_t ascq);
    // Classifies a failed read as error-scan mode does; true when recovered
    // mode turns a RECOVERED ERROR into success.
    bool ClassifyReadFailure(DevRequest& request, int block, const char* unexpectedFormat);
    // Message 3007 for block with the request's sense.
    void ReportReadError(DevRequest& request, int block);
    // After a successful data-in command: false, with the malformed-reply
    // sense, when the drive moved fewer bytes than both the allocation and
    // the reply's own length (`claimed`) say, or fewer than `minimum`.
    bool CheckReplyLength(const DevRequest& request, uint32_t allocation, uint32_t claimed, uint32_t minimum = 0);
    // The mode select of a block descriptor shared by the raw and CD-DA switches.
    bool SelectBlockDescriptor(uint8_t density, int blockLength, uint8_t& requestStatus);
    // Polls PollWriter every intervalMs until ready; false after the writer
    // time-out or when the abort flag is set. `polls` receives the count.
    bool WaitForWriter(int intervalMs, int* polls = nullptr);
    // Reads page 0x05 into the work buffer behind a fresh mode select
    // header; returns where the page begins, or -1.
    int ReadWriteParametersPage(int length);

    // The part of copy construction and assignment after the old resources
    // are gone: takes what a copy takes and makes its own record, buffer and
    // transport clone.
    void CopyFrom(const CDDevice& source);
    void AdoptTransport(DeviceIntf* transport);
    // The device check's medium classification: the recordable, rewritable
    // and audio bits added to the media type.
    void ClassifyMedium();

    std::unique_ptr<DeviceIntf> transport_;
    bool errorMode_ = false;
    uint8_t debugLevel_ = 0;
    std::atomic<bool> abortFlag_{false};
    bool errorScanMode_ = false;
    bool ansiVersion0_ = false;
    bool recorder_ = false;
    bool rawMode_ = false;
    bool cddaMode_ = false;
    bool modeSelectWorked_ = false;
    bool recoveryPageRefused_ = false;
    bool capabilitiesKnown_ = false;
    bool recoveredMode_ = false;
    bool promptSuppress_ = false;
    bool dvdPlusDisc_ = false;
    // Disc-type flags, ARRE/AWRE, sector size, error block, sense
    // information and the last error class are set by VerifyDevice and the
    // commands; a copy starts them at 0 rather than copying them.
    bool dvdMinusDisc_ = false;
    bool dvdPlusR_ = false;
    bool dvdRW_ = false;
    bool mrw_ = false;
    bool dvdDisc_ = false;
    bool fakeMode3_ = false;
    bool arre_ = false;
    bool awre_ = false;
    int16_t sectorSize_ = 0;
    int16_t readRetry_ = 5;
    int16_t hardwareRetry_ = 0;
    int32_t errorBlock_ = 0;
    uint8_t inactivityMultiplier_ = 0;
    uint8_t senseKey_ = 0;
    uint8_t asc_ = 0;
    uint8_t ascq_ = 0;
    uint8_t lastErrorClass_ = 0;  // 0 none, 1 recovered, 2 medium, 3 other
    uint32_t senseInfo_ = 0;
    int32_t recoveredErrors_ = 0;
    int32_t mediaErrors_ = 0;
    int32_t otherErrors_ = 0;
    uint8_t dataDensityCode_ = 0;
    uint8_t driveSpeedValue_ = 0;
    uint8_t mediaType_ = 0;
    uint8_t capabilities_[kCapabilityBytes] = {};
    uint8_t diskIdent_[kDiskIdentBytes] = {};
    uint8_t savedRecoveryParameter_ = 255;
    uint8_t savedRetryCount_ = 255;
    char serialNumber_[kSerialNumberChars] = {};
    int32_t savedReadSpeed_ = -1;
    std::unique_ptr<unsigned char[]> workBuffer_;
    WriteParameters* writeParameters_ = nullptr;  // not owned
    int32_t writerTimeoutMs_ = 600000;
    ResourceModule resourceModule_ = nullptr;
    MessageCallback messageCallback_;
    DebugCallback debugCallback_;
    DebugDumpCallback debugDump_;
    std::unique_ptr<DDBInfo> deviceRecord_;
    char textBuffer_[kTextBufferChars] = {};
    VerifyRefusal verifyRefusal_ = VerifyAccepted;
};

}  // namespace dravik::device
