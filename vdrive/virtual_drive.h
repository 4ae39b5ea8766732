// A drive that answers MMC commands from a disc image: the virtual drive of
// the drive table. It checks every CDB as a strict drive would (length,
// data direction, allocation length), so that faults of the code above it
// show up as ILLEGAL REQUEST instead of passing silently.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/scsi_drive.h"
#include "vdrive/drive_config.h"
#include "vdrive/load_error.h"

namespace dravik::vdrive {

struct DriveCounters {
    uint64_t commands = 0;
    uint64_t blocksServed = 0;
    uint64_t checkConditions = 0;
    std::array<uint64_t, 256> byOpcode{};
    // What a real drive would have taken under the timing model.
    uint64_t simulatedMicroseconds = 0;
};

struct DriveState;  // the mutable state behind the commands
struct Disc;

class VirtualDrive final : public platform::ScsiDrive {
public:
    VirtualDrive(LoadedImage image, std::string location);
    ~VirtualDrive() override;

    // Loads an image or description; null with `error` set when it cannot be served.
    // `mapPath`: a ddrescue mapfile for a plain image, instead of the one beside it.
    static std::unique_ptr<VirtualDrive> Open(const std::string& path, LoadError& error, const std::string& mapPath = {});

    platform::ScsiResult Execute(const platform::ScsiRequest& request) override;
    platform::DriveIdentity Identity() const override;
    platform::DriveKind Kind() const override { return platform::DriveKind::kVirtual; }
    std::string Location() const override { return location_; }

    // --- for tests and benchmarks --------------------------------------
    DriveCounters Counters() const;
    void ResetCounters();
    // Puts another disc in (null: empty tray): the next commands answer
    // NOT READY as configured, then one UNIT ATTENTION reports the change.
    void ChangeDisc(std::shared_ptr<Disc> disc);
    // Simulates taking the disc out and putting the same one back.
    void Reinsert();
    // Makes blocks first..last fail with MEDIUM ERROR from now on.
    void FailBlocks(int32_t first, int32_t last);
    void SetNotReadyCommands(int count);
    // The next `times` commands with `opcode` fail with this sense.
    void FailCommand(uint8_t opcode, uint8_t key, uint8_t asc, uint8_t ascq, int times = 1);
    // A copy of the disc as it stands now (null without one): what a
    // recording made of it.
    std::shared_ptr<const Disc> CurrentDisc() const;
    // Saves the disc as it stands now as a description at
    // `descriptionPath` with one data file per track beside it; returns
    // an empty string or why it could not.
    std::string SaveDisc(const std::string& descriptionPath) const;
    void SetTiming(const TimingModel& timing);
    // Called with every run of blocks served by a read command.
    using ReadObserver = std::function<void(int32_t first, int32_t count)>;
    void SetReadObserver(ReadObserver observer);
    const DriveConfig& Config() const { return config_; }

private:
    DriveConfig config_;
    std::string location_;
    mutable std::mutex mutex_;
    std::unique_ptr<DriveState> state_;
};

}  // namespace dravik::vdrive
