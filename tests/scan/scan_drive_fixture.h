// Scans through the whole stack: the scan driver talks to a CDDevice over
// the pass-through transport, which reaches a virtual drive serving a disc
// the test built. A patching drive sits between the transport and the
// virtual drive: it records every CDB and lets a test replace the replies
// a broken or unusual drive would give.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/cddevice/cddevice.h"
#include "platform/byte_order.h"
#include "platform/drive_source.h"
#include "platform/hive_locations.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/show_message.h"
#include "program/scan/catalogue_views.h"
#include "program/scan/driver/disc_layout.h"
#include "program/scan/scan_device.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_labels.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "support/disc_builder.h"
#include "support/recording_shell_port.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"
#include "vdrive/virtual_drive.h"

namespace dravik::test {

// What a patch may do with one command: answer it itself (return true,
// with `result` and the data filled) or let the disc answer it and then
// change the reply (`after`).
struct CommandPatch {
    // Called before the drive; true when the patch answered.
    std::function<bool(const platform::ScsiRequest&, platform::ScsiResult&)> before;
    // Called after the drive answered.
    std::function<void(const platform::ScsiRequest&, platform::ScsiResult&)> after;
};

class PatchingDrive : public platform::ScsiDrive {
public:
    explicit PatchingDrive(std::shared_ptr<platform::ScsiDrive> inner) : inner_(std::move(inner)) {}

    void Patch(CommandPatch patch) {
        std::lock_guard<std::mutex> hold(lock_);
        patches_.push_back(std::move(patch));
    }
    std::vector<std::vector<std::uint8_t>> Cdbs() const {
        std::lock_guard<std::mutex> hold(lock_);
        return cdbs_;
    }

    platform::ScsiResult Execute(const platform::ScsiRequest& request) override {
        std::vector<CommandPatch> patches;
        {
            std::lock_guard<std::mutex> hold(lock_);
            cdbs_.emplace_back(request.cdb, request.cdb + request.cdbLength);
            patches = patches_;
        }
        platform::ScsiResult result;
        for (const CommandPatch& patch : patches)
            if (patch.before && patch.before(request, result)) return result;
        result = inner_->Execute(request);
        for (const CommandPatch& patch : patches)
            if (patch.after) patch.after(request, result);
        return result;
    }
    platform::DriveIdentity Identity() const override { return inner_->Identity(); }
    platform::DriveKind Kind() const override { return platform::DriveKind::kVirtual; }
    std::string Location() const override { return inner_->Location(); }

private:
    std::shared_ptr<platform::ScsiDrive> inner_;
    mutable std::mutex lock_;
    std::vector<CommandPatch> patches_;
    std::vector<std::vector<std::uint8_t>> cdbs_;
};

// Replies a test makes up.
inline platform::ScsiResult GoodReply(const platform::ScsiRequest& request, const std::vector<std::uint8_t>& data) {
    platform::ScsiResult result;
    const std::size_t length = std::min(request.dataLength, data.size());
    std::memset(request.data, 0, request.dataLength);
    std::memcpy(request.data, data.data(), length);
    result.residual = request.dataLength - length;
    return result;
}
inline platform::ScsiResult CheckCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq = 0) {
    platform::ScsiResult result;
    result.scsiStatus = platform::kScsiCheckCondition;
    result.sense[0] = 0x70;
    result.sense[2] = key;
    result.sense[7] = 10;
    result.sense[12] = asc;
    result.sense[13] = ascq;
    result.senseLength = 18;
    return result;
}

inline bool IsReadToc(const platform::ScsiRequest& r, int format) {
    if (r.cdb[0] != 0x43) return false;
    const int asked = (r.cdb[2] & 0x0F) ? (r.cdb[2] & 0x0F) : (r.cdb[9] >> 6);
    return asked == format;
}
inline bool IsTrackInfo(const platform::ScsiRequest& r) { return r.cdb[0] == 0x52; }
inline int TrackInfoNumber(const platform::ScsiRequest& r) {
    return static_cast<int>(dravik::bytes::GetBe32(r.cdb + 2));
}
inline bool IsDiscInfo(const platform::ScsiRequest& r) { return r.cdb[0] == 0x51; }

inline void PutBe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int64_t value) {
    dravik::bytes::PutBe32(&bytes[at], static_cast<std::uint32_t>(value));
}

// A mode 0 TOC of (control, track, start) descriptors whose length field
// counts them all.
struct TocEntry {
    std::uint8_t control, track;
    std::int64_t start;
};
inline std::vector<std::uint8_t> Mode0Toc(const std::vector<TocEntry>& entries) {
    std::vector<std::uint8_t> bytes(4 + 8 * entries.size(), 0);
    const std::size_t length = bytes.size() - 2;
    dravik::bytes::PutBe16(bytes.data(), static_cast<std::uint16_t>(length));
    bytes[2] = 1, bytes[3] = entries.empty() ? 1 : entries.back().track;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        bytes[4 + 8 * i + 1] = entries[i].control;
        bytes[4 + 8 * i + 2] = entries[i].track;
        PutBe32(bytes, 4 + 8 * i + 4, entries[i].start);
    }
    return bytes;
}

// An MMC track information reply (28 bytes used).
struct TrackInfoReply {
    std::uint8_t number = 1, session = 1, mode = 4, dataMode = 1;
    bool nwaValid = false;
    std::int64_t start = 0, nextWritable = 0, freeBlocks = 0, size = 0;
};
inline std::vector<std::uint8_t> TrackInfo(const TrackInfoReply& t) {
    std::vector<std::uint8_t> bytes(28, 0);
    bytes[1] = 26;
    bytes[2] = t.number;
    bytes[3] = t.session;
    bytes[5] = t.mode;
    bytes[6] = t.dataMode;
    bytes[7] = t.nwaValid ? 1 : 0;
    PutBe32(bytes, 8, t.start);
    PutBe32(bytes, 12, t.nextWritable);
    PutBe32(bytes, 16, t.freeBlocks);
    PutBe32(bytes, 24, t.size);
    return bytes;
}

// A front end that records what the scan asks of the main window.
class ScanShellPort : public RecordingShellPort {
public:
    void SetCaption(const std::string& caption) override {
        std::lock_guard<std::mutex> hold(lock_);
        captions_.push_back(caption);
    }
    void ShowResults() override {
        std::lock_guard<std::mutex> hold(lock_);
        ++results_;
    }
    void EnableCommand(int id, bool enabled) override {
        std::lock_guard<std::mutex> hold(lock_);
        if (enabled) enabled_.push_back(id);
    }
    std::vector<std::string> Captions() const { return Get(captions_); }
    int Results() const { return Get(results_); }
    std::vector<int> Enabled() const { return Get(enabled_); }

private:
    template <typename T>
    T Get(const T& value) const {
        std::lock_guard<std::mutex> hold(lock_);
        return value;
    }
    mutable std::mutex lock_;
    std::vector<std::string> captions_;
    std::vector<int> enabled_;
    int results_ = 0;
};

class ScanDriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv(platform::kConfigDirVariable, config_.path().c_str(), 1);
        savedLog_ = diag::LogPath();
        diag::SetLogPath(dir_.File("scan.DBG"));
        diag::DebugMode = true;
        settings::ResetSettings();
        ASSERT_TRUE(language_.LoadFrom(BuildDir() + "/bin/liblangres.so")) << language_.LoadError();
        messages::MessageContext context;
        context.language = &language_;
        context.caption = "Dravik";
        messages::SetMessageContext(context);
        port::InstallShellPort(&shell_);
    }
    void TearDown() override {
        scan::SetSelectedDevice(nullptr);
        scan::ClearTrackList(false);
        device_.reset();
        if (initialized_) device::CDDevice::Terminate();
        platform::SetDriveLister({});
        port::InstallShellPort(nullptr);
        messages::SetMessageContext({});
        settings::ResetSettings();
        scan::VolumeName.clear();
        diag::DebugMode = false;
        diag::SetLogPath(savedLog_);
        unsetenv(platform::kConfigDirVariable);
    }

    // Puts the disc into a virtual drive behind a patching drive and makes
    // the selected device stand on it, with the track information command
    // the device check gives an MMC drive (or an older one).
    void Insert(const DiscBuilder& builder, unsigned char trackInfoCommand = 0x52) {
        vdrive::LoadError error;
        std::shared_ptr<vdrive::VirtualDrive> disc = vdrive::VirtualDrive::Open(builder.Write(), error);
        ASSERT_TRUE(disc) << error.Text();
        drive_ = std::make_shared<PatchingDrive>(disc);
        std::shared_ptr<platform::ScsiDrive> served = drive_;
        platform::SetDriveLister([served] { return platform::DriveList{{'D', served}}; });
        ASSERT_TRUE(device::CDDevice::Initialize(nullptr, messages::ShowMessage));
        initialized_ = true;
        device_ = std::make_unique<device::CDDevice>();
        ASSERT_TRUE(device_->FirstDevice());
        device_->SetTrackInfoCmd(trackInfoCommand);
        scan::SetSelectedDevice(device_.get());
    }

    // The scan on this thread, as the scan thread runs it.
    void Scan() { scan::ScanThread(); }

    std::vector<scan::TrackNode*> Nodes() const {
        std::vector<scan::TrackNode*> nodes;
        for (scan::TrackNode* node = scan::TrackListHead; node; node = node->next) nodes.push_back(node);
        return nodes;
    }
    std::string RootName(const scan::TrackNode* node) const { return node->rootItem ? node->rootItem->Name() : ""; }

    std::vector<std::string> LogMessages() const {
        std::vector<std::string> lines;
        const std::string text = dir_.Read("scan.DBG");
        std::size_t start = 0;
        for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
            lines.push_back(text.substr(start, at - start));
        return lines;
    }
    bool LogHas(const std::string& piece) const {
        for (const std::string& line : LogMessages())
            if (line.find(piece) != std::string::npos) return true;
        return false;
    }

    // Every node other than the lead-out ends where it starts or later, or has no end.
    void ExpectSaneList() const {
        int count = 0;
        for (const scan::TrackNode* node = scan::TrackListHead; node; node = node->next) {
            ASSERT_LT(++count, 300) << "the list does not end";
            if (node->next) {
                EXPECT_EQ(node->next->prev, node);
            }
            if (node->number == scan::kLeadOutNumber || node->end == 0) continue;
            EXPECT_GE(node->end, node->start) << "track " << int(node->number);
        }
        if (scan::TrackListTail) {
            EXPECT_EQ(scan::TrackListTail->next, nullptr);
        }
    }

    TempDir dir_;
    TempDir config_;
    std::string savedLog_;
    messages::LanguageModule language_;
    ScanShellPort shell_;
    std::shared_ptr<PatchingDrive> drive_;
    std::unique_ptr<device::CDDevice> device_;
    bool initialized_ = false;
};

}  // namespace dravik::test
