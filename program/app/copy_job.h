// One copy of found files into a folder, run through the shared extractor
// on a worker thread so the front end stays responsive. The front end
// polls Progress() (files and bytes done of the totals counted before the
// start, the file being written), may Cancel() (the file being written is
// removed, the written ones stay), and reads Summary() once Finished().
// Only one copy runs at a time in the program: CopyRunning() tells the
// front end to hold back a second copy and a scan meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "program/extract/block_source.h"
#include "program/extract/extractor.h"

namespace dravik::device {
class CDDevice;
}

namespace dravik::app {

// What one copy covers: the files below the chosen items, each counted
// once (the self and parent entries left out), and their bytes.
struct CopyTotals {
    int files = 0;
    std::uint64_t bytes = 0;
};
CopyTotals CountCopy(const std::unordered_set<const scan::FoundItem*>& chosen);

struct CopyProgress {
    int filesDone = 0;  // files the extractor has reported on (whatever their outcome)
    int filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    std::string currentFile;  // disc path of the file being written; empty between files
};

// True from a CopyJob's Start until its thread has ended.
bool CopyRunning();

// The selected drive's blocks for a copy: read errors are told per file,
// not as prompts, while it exists; the drive's abort flag stops a read.
class DeviceBlockSource : public extract::BlockSource {
public:
    explicit DeviceBlockSource(device::CDDevice& device);
    ~DeviceBlockSource() override;
    DeviceBlockSource(const DeviceBlockSource&) = delete;
    DeviceBlockSource& operator=(const DeviceBlockSource&) = delete;
    bool Read(std::int32_t block, int count, std::uint8_t* out) override;
    bool Aborted() const override;

private:
    device::CDDevice& device_;
};

class CopyJob {
public:
    // Called on the worker thread before each file (see ExtractListener::decide).
    using Decide = std::function<extract::FileDecision(const std::string& discPath, bool exists)>;

    CopyJob();
    ~CopyJob();  // cancels and waits for a copy still running
    CopyJob(const CopyJob&) = delete;
    CopyJob& operator=(const CopyJob&) = delete;

    // Starts copying `options.items` of the tracks whose roots are given
    // (in track order) from `source`, which must outlive the job. The
    // caller keeps the catalogue still meanwhile (no scan). False when a
    // copy already runs in the program.
    bool Start(std::vector<const scan::FoundItem*> roots, extract::ExtractOptions options,
               extract::BlockSource& source, Decide decide = {});
    // Asks the copy to stop at its next block or file; any thread.
    void Cancel();
    bool CancelRequested() const { return cancel_.load(); }
    bool Finished() const { return finished_.load(); }
    // Waits for the thread; afterwards Summary() holds the outcome.
    void Join();

    CopyProgress Progress() const;
    const extract::ExtractSummary& Summary() const { return summary_; }

private:
    class CancellableSource;
    void Run(std::vector<const scan::FoundItem*> roots, extract::ExtractOptions options, Decide decide);

    std::unique_ptr<CancellableSource> source_;
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
    mutable std::mutex mutex_;
    CopyProgress progress_;
    extract::ExtractSummary summary_;
};

}  // namespace dravik::app
