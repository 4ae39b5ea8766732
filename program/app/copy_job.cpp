#include "program/app/copy_job.h"

#include <utility>

#include "device/cddevice/cddevice.h"
#include "program/scan/found_item.h"

namespace dravik::app {

namespace {

// Deeper trees are not followed, as the extractor does not follow them.
constexpr int kMaxDepth = 256;

std::atomic<bool> g_copyRunning{false};

void CountBelow(const scan::FoundItem* item, std::unordered_set<const scan::FoundItem*>& files,
                CopyTotals& totals, int depth) {
    if (!item || depth >= kMaxDepth) return;
    if (!(item->flags & scan::ItemDirectory)) {
        if (files.insert(item).second) {
            ++totals.files;
            totals.bytes += item->size;
        }
        return;
    }
    for (const scan::FoundItem* child = item->firstChild; child; child = child->next)
        if (!scan::IsHiddenEntry(child)) CountBelow(child, files, totals, depth + 1);
}

}  // namespace

CopyTotals CountCopy(const std::unordered_set<const scan::FoundItem*>& chosen) {
    CopyTotals totals;
    std::unordered_set<const scan::FoundItem*> files;
    for (const scan::FoundItem* item : chosen) CountBelow(item, files, totals, 0);
    return totals;
}

bool CopyRunning() { return g_copyRunning.load(); }

DeviceBlockSource::DeviceBlockSource(device::CDDevice& device) : device_(device) {
    device_.SetErrorMode(true);
    device_.ClearAbortFlag();
}

DeviceBlockSource::~DeviceBlockSource() {
    device_.SetErrorMode(false);
    device_.ClearAbortFlag();
}

bool DeviceBlockSource::Read(std::int32_t block, int count, std::uint8_t* out) {
    return device_.ReadCD(block, out, count);
}

bool DeviceBlockSource::Aborted() const { return device_.IsAbortSet(); }

// The caller's source, which also stops when the job is cancelled.
class CopyJob::CancellableSource : public extract::BlockSource {
public:
    CancellableSource(extract::BlockSource& inner, const std::atomic<bool>& cancel) : inner_(inner), cancel_(cancel) {}
    bool Read(std::int32_t block, int count, std::uint8_t* out) override { return inner_.Read(block, count, out); }
    bool Aborted() const override { return cancel_.load() || inner_.Aborted(); }

private:
    extract::BlockSource& inner_;
    const std::atomic<bool>& cancel_;
};

CopyJob::CopyJob() = default;

CopyJob::~CopyJob() {
    Cancel();
    Join();
}

bool CopyJob::Start(std::vector<const scan::FoundItem*> roots, extract::ExtractOptions options,
                    extract::BlockSource& source, Decide decide) {
    bool expected = false;
    if (thread_.joinable() || !g_copyRunning.compare_exchange_strong(expected, true)) return false;
    const CopyTotals totals = CountCopy(options.items);
    {
        std::lock_guard lock(mutex_);
        progress_ = {};
        progress_.filesTotal = totals.files;
        progress_.bytesTotal = totals.bytes;
    }
    summary_ = {};
    cancel_ = false;
    finished_ = false;
    source_ = std::make_unique<CancellableSource>(source, cancel_);
    thread_ = std::thread(&CopyJob::Run, this, std::move(roots), std::move(options), std::move(decide));
    return true;
}

void CopyJob::Run(std::vector<const scan::FoundItem*> roots, extract::ExtractOptions options, Decide decide) {
    extract::ExtractListener listener;
    listener.decide = [this, &decide](const std::string& path, bool exists) {
        if (cancel_.load()) return extract::FileDecision::kStop;
        return decide ? decide(path, exists) : extract::FileDecision::kWrite;
    };
    listener.onStart = [this](const std::string& path, std::uint64_t) {
        std::lock_guard lock(mutex_);
        progress_.currentFile = path;
    };
    listener.onBytes = [this](std::uint64_t bytes) {
        std::lock_guard lock(mutex_);
        progress_.bytesDone += bytes;
    };
    listener.onFile = [this](const extract::FileReport& report) {
        if (report.directory) return;
        std::lock_guard lock(mutex_);
        ++progress_.filesDone;
        progress_.currentFile.clear();
    };
    extract::ExtractSummary summary = extract::ExtractFiles(roots, *source_, options, listener);
    summary_ = std::move(summary);
    g_copyRunning = false;
    finished_ = true;
}

void CopyJob::Cancel() { cancel_ = true; }

void CopyJob::Join() {
    if (thread_.joinable()) thread_.join();
}

CopyProgress CopyJob::Progress() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

}  // namespace dravik::app
