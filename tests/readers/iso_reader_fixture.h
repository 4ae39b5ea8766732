// The ISO reader over the whole device stack: a CDDevice on the
// pass-through transport reaches a virtual drive serving a disc the test
// built (or an image a real tool made). The test lays out the track list
// by hand, calls ReadIsoTrack and looks at the catalogue, the messages the
// user saw, the log and the blocks the drive served.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "device/cddevice/cddevice.h"
#include "platform/drive_source.h"
#include "platform/hive_locations.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/show_message.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/scan/catalogue_views.h"
#include "program/scan/scan_device.h"
#include "program/scan/file_systems.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "support/disc_builder.h"
#include "support/recording_shell_port.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"
#include "vdrive/virtual_drive.h"

namespace dravik::test {

// Sits between the transport and the virtual drive: records the block of
// every READ(10) asked for, and answers reads of chosen blocks with chosen
// bytes (a test changes a sector between reads without a new disc).
class OverridingDrive : public platform::ScsiDrive {
public:
    explicit OverridingDrive(std::shared_ptr<platform::ScsiDrive> inner) : inner_(std::move(inner)) {}

    void Override(std::int32_t block, std::vector<std::uint8_t> bytes) {
        std::lock_guard<std::mutex> hold(lock_);
        bytes.resize(2048, 0);
        overrides_[block] = std::move(bytes);
    }
    // Reads that touch `block` fail with MEDIUM ERROR (3/11/00), or with
    // the sense key, additional sense code and qualifier given.
    void Fail(std::int32_t block, std::uint8_t key = 0x03, std::uint8_t code = 0x11, std::uint8_t qualifier = 0) {
        std::lock_guard<std::mutex> hold(lock_);
        failing_[block] = {key, code, qualifier};
    }
    void ClearOverrides() {
        std::lock_guard<std::mutex> hold(lock_);
        overrides_.clear();
        failing_.clear();
    }
    std::vector<std::int32_t> Asked() const {
        std::lock_guard<std::mutex> hold(lock_);
        return asked_;
    }
    // The READ(10) commands since the last ClearAsked: first block, count.
    std::vector<std::pair<std::int32_t, int>> Commands() const {
        std::lock_guard<std::mutex> hold(lock_);
        return commands_;
    }
    void ClearAsked() {
        std::lock_guard<std::mutex> hold(lock_);
        asked_.clear();
        commands_.clear();
    }

    platform::ScsiResult Execute(const platform::ScsiRequest& request) override {
        if (request.cdbLength == 10 && request.cdb[0] == 0x28) {
            const auto block = static_cast<std::int32_t>((std::uint32_t{request.cdb[2]} << 24) |
                                                         (std::uint32_t{request.cdb[3]} << 16) |
                                                         (std::uint32_t{request.cdb[4]} << 8) | request.cdb[5]);
            const int count = (request.cdb[7] << 8) | request.cdb[8];
            std::lock_guard<std::mutex> hold(lock_);
            for (int i = 0; i < count; ++i) asked_.push_back(block + i);
            commands_.emplace_back(block, count);
            for (int i = 0; i < count; ++i) {
                const auto fails = failing_.find(block + i);
                if (fails == failing_.end()) continue;
                platform::ScsiResult result;
                result.scsiStatus = platform::kScsiCheckCondition;
                result.sense[0] = 0x70;
                result.sense[2] = fails->second[0];
                result.sense[7] = 10;
                result.sense[12] = fails->second[1];
                result.sense[13] = fails->second[2];
                result.senseLength = 18;
                result.residual = request.dataLength;
                return result;
            }
            auto found = overrides_.find(block);
            if (count == 1 && found != overrides_.end() && request.dataLength >= 2048) {
                std::memcpy(request.data, found->second.data(), 2048);
                platform::ScsiResult result;
                result.residual = request.dataLength - 2048;
                return result;
            }
            // A longer read gets the chosen bytes of the blocks it covers.
            auto first = overrides_.lower_bound(block);
            if (count > 1 && first != overrides_.end() && first->first < block + count) {
                platform::ScsiResult result = inner_->Execute(request);
                auto* data = static_cast<std::uint8_t*>(request.data);
                for (auto at = first; at != overrides_.end() && at->first < block + count; ++at) {
                    const std::size_t offset = std::size_t(at->first - block) * 2048;
                    if (result.Good() && offset + 2048 <= request.dataLength)
                        std::memcpy(data + offset, at->second.data(), 2048);
                }
                return result;
            }
        }
        return inner_->Execute(request);
    }
    platform::DriveIdentity Identity() const override { return inner_->Identity(); }
    platform::DriveKind Kind() const override { return platform::DriveKind::kVirtual; }
    std::string Location() const override { return inner_->Location(); }

private:
    std::shared_ptr<platform::ScsiDrive> inner_;
    mutable std::mutex lock_;
    std::map<std::int32_t, std::vector<std::uint8_t>> overrides_;
    std::map<std::int32_t, std::array<std::uint8_t, 3>> failing_;  // sense key, code, qualifier
    std::vector<std::int32_t> asked_;
    std::vector<std::pair<std::int32_t, int>> commands_;
};

class IsoReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv(platform::kConfigDirVariable, config_.path().c_str(), 1);
        savedLog_ = diag::LogPath();
        diag::SetLogPath(dir_.File("reader.DBG"));
        diag::DebugMode = true;
        settings::ResetSettings();
        ASSERT_TRUE(language_.LoadFrom(BuildDir() + "/bin/liblangres.so")) << language_.LoadError();
        messages::MessageContext context;
        context.language = &language_;
        messages::SetMessageContext(context);
        port::InstallShellPort(&shell_);
    }
    void TearDown() override {
        if (HasFailure()) {
            const std::string log = dir_.Read("reader.DBG");
            std::printf("--- reader log (last 6000 bytes) ---\n%s\n", log.substr(log.size() > 6000 ? log.size() - 6000 : 0).c_str());
            for (const std::string& text : DialogTexts()) std::printf("--- dialog: %s\n", text.c_str());
        }
        scan::SetSelectedDevice(nullptr);
        scan::ClearTrackList(false);
        // Readers a test installed are not the next test's (tests share a process).
        scan::InstallFileSystems({});
        device_.reset();
        if (initialized_) device::CDDevice::Terminate();
        platform::SetDriveLister({});
        port::InstallShellPort(nullptr);
        messages::SetMessageContext({});
        settings::ResetSettings();
        scan::CloseRequested = 0;
        diag::DebugMode = false;
        diag::LogWriteThrough = false;
        diag::SetLogPath(savedLog_);
        unsetenv(platform::kConfigDirVariable);
    }

    // Serves the disc (a description or an image) and selects a device on it.
    void Insert(const std::string& path) {
        vdrive::LoadError error;
        std::shared_ptr<vdrive::VirtualDrive> disc = vdrive::VirtualDrive::Open(path, error);
        ASSERT_TRUE(disc) << error.Text();
        drive_ = disc;
        served_ = std::make_shared<OverridingDrive>(disc);
        std::shared_ptr<platform::ScsiDrive> served = served_;
        platform::SetDriveLister([served] { return platform::DriveList{{'D', served}}; });
        ASSERT_TRUE(device::CDDevice::Initialize(nullptr, messages::ShowMessage));
        initialized_ = true;
        device_ = std::make_unique<device::CDDevice>();
        ASSERT_TRUE(device_->FirstDevice());
        scan::SetSelectedDevice(device_.get());
    }
    void Insert(const DiscBuilder& builder) { Insert(builder.Write()); }

    // A data track node appended to the list.
    scan::TrackNode* AddTrack(std::int32_t start, std::int32_t end, int number = 1, int session = 1,
                              std::uint8_t control = 0x04) {
        scan::TrackNode* node = scan::NewTrackNode();
        node->start = start;
        node->end = end;
        node->layoutEnd = static_cast<std::uint32_t>(end);
        node->number = static_cast<std::uint8_t>(number);
        node->session = static_cast<std::uint8_t>(session);
        node->control = control;
        scan::AppendTrackNode(node);
        return node;
    }
    scan::TrackNode* AddLeadOut(std::int32_t start, int session = 1) {
        return AddTrack(start, 0, scan::kLeadOutNumber, session, 0x14);
    }

    bool Read(scan::TrackNode* track) {
        ClearReads();
        return readers::ReadIsoTrack(track, 0);
    }

    // Every named item below the root, by its path ("DIR/FILE").
    static std::map<std::string, const scan::FoundItem*> Paths(const scan::TrackNode* track) {
        std::map<std::string, const scan::FoundItem*> paths;
        if (track->rootItem) Collect(track->rootItem, "", paths, 0);
        return paths;
    }
    // The same without ";1" version suffixes, with sizes, for comparing with
    // the files that were put in.
    static std::map<std::string, std::uint32_t> FileSizes(const scan::TrackNode* track) {
        std::map<std::string, std::uint32_t> sizes;
        for (const auto& [path, item] : Paths(track)) {
            if (item->flags & scan::ItemDirectory) continue;
            std::string plain = path;
            if (plain.size() > 2 && plain.compare(plain.size() - 2, 2, ";1") == 0) plain.resize(plain.size() - 2);
            sizes[plain] = item->size;
        }
        return sizes;
    }

    // The text the user saw for message `id` with these arguments.
    std::string MessageText(unsigned id, ...) {
        va_list arguments;
        va_start(arguments, id);
        std::string text = messages::FormatMessageText(id, language_.Text(id), arguments);
        va_end(arguments);
        return text;
    }
    std::vector<std::string> DialogTexts() const {
        std::vector<std::string> texts;
        for (const RecordedDialog& d : shell_.Dialogs()) texts.push_back(d.text);
        return texts;
    }
    bool Shown(const std::string& text) const {
        for (const std::string& t : DialogTexts())
            if (t == text) return true;
        return false;
    }
    // Dialogs that show message `id` with any arguments.
    int CountLike(unsigned id) const {
        std::string pattern;
        const std::string text = language_.Text(id);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 'd' || text[i + 1] == 's')) {
                pattern += text[i + 1] == 'd' ? "-?[0-9]+" : ".*";
                ++i;
            } else if (std::string("\\^$.|?*+()[]{}").find(text[i]) != std::string::npos) {
                pattern += std::string("\\") + text[i];
            } else {
                pattern += text[i];
            }
        }
        const std::regex matcher(pattern);
        int count = 0;
        for (const std::string& t : DialogTexts())
            if (std::regex_match(t, matcher)) ++count;
        return count;
    }

    bool LogHas(const std::string& piece) const { return dir_.Read("reader.DBG").find(piece) != std::string::npos; }

    // The blocks the reader asked the drive for, in order.
    std::vector<std::int32_t> BlocksRead() const { return served_ ? served_->Asked() : std::vector<std::int32_t>{}; }
    void ClearReads() {
        if (served_) served_->ClearAsked();
    }
    std::vector<std::string> TreeNames() {
        return shell_.TreeTexts();
    }

    // The bytes at the start of an item's first block, read through the device.
    std::string BlockText(std::int32_t block, std::size_t length) {
        std::vector<std::uint8_t> buffer(2048);
        if (!device_->ReadCD(block, buffer.data(), 1)) return "<unreadable>";
        return std::string(reinterpret_cast<const char*>(buffer.data()), length);
    }

    TempDir dir_;
    TempDir config_;
    std::string savedLog_;
    messages::LanguageModule language_;
    RecordingShellPort shell_;
    std::shared_ptr<vdrive::VirtualDrive> drive_;
    std::shared_ptr<OverridingDrive> served_;
    std::unique_ptr<device::CDDevice> device_;
    bool initialized_ = false;

private:
    static void Collect(const scan::FoundItem* dir, const std::string& prefix,
                        std::map<std::string, const scan::FoundItem*>& paths, int depth) {
        if (depth > 64) return;
        for (const scan::FoundItem* item = dir->firstChild; item; item = item->next) {
            if (scan::IsHiddenEntry(item)) continue;
            const std::string path = prefix + item->Name();
            paths[path] = item;
            if (item->flags & scan::ItemDirectory) Collect(item, path + "/", paths, depth + 1);
        }
    }

};

}  // namespace dravik::test
