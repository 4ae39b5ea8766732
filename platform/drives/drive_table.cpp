#include "platform/drives/drive_table.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include "platform/drive_source.h"
#include "platform/registry_hive.h"
#include "platform/sg_drive.h"
#include "vdrive/virtual_drive.h"

namespace dravik::platform {

namespace {

constexpr char kFirstLetter = 'D';
constexpr char kLastLetter = 'Z';

std::string ReadSysfsText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// Guards the process's table against additions while the lister copies it.
std::mutex& ProcessTableMutex() {
    static std::mutex mutex;
    return mutex;
}

DriveTable& ProcessTable();

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ea, eb;
    const std::filesystem::path ca = std::filesystem::weakly_canonical(a, ea);
    const std::filesystem::path cb = std::filesystem::weakly_canonical(b, eb);
    if (ea || eb) return a == b;
    return ca == cb;
}

}  // namespace

std::vector<std::string> SplitImageList(const std::string& list) {
    std::vector<std::string> paths;
    size_t at = 0;
    while (at <= list.size()) {
        size_t colon = list.find(':', at);
        if (colon == std::string::npos) colon = list.size();
        if (colon > at) paths.push_back(list.substr(at, colon - at));
        at = colon + 1;
    }
    return paths;
}

std::vector<std::string> VirtualDrivePathsFromRegistry() {
    RegistryKey key;
    if (RegistryKey::Open(HiveRoot::LocalMachine, kDeviceIntfKey, KeyAccess::Query, key) != kRegSuccess) return {};
    RegistryValue value;
    if (key.QueryValue(kVirtualDrivesValue, value) != kRegSuccess) return {};
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return {};
    std::string text = value.data;
    if (size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    return SplitImageList(text);
}

std::vector<RealDriveInfo> FindRealDrives(const std::string& sysClassBlock, const std::string& deviceFolder) {
    namespace fs = std::filesystem;
    std::vector<std::pair<long, RealDriveInfo>> found;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(sysClassBlock, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < 3 || name.compare(0, 2, "sr") != 0) continue;
        if (name.find_first_not_of("0123456789", 2) != std::string::npos) continue;
        RealDriveInfo info;
        info.node = deviceFolder + "/" + name;
        const fs::path device = entry.path() / "device";
        info.identity.vendor = ReadSysfsText(device / "vendor");
        info.identity.product = ReadSysfsText(device / "model");
        info.identity.revision = ReadSysfsText(device / "rev");
        found.emplace_back(std::strtol(name.c_str() + 2, nullptr, 10), std::move(info));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<RealDriveInfo> drives;
    for (auto& f : found) drives.push_back(std::move(f.second));
    return drives;
}

bool DriveTable::Add(DriveKind kind, std::shared_ptr<ScsiDrive> drive) {
    const char letter = char(kFirstLetter + drives_.size());
    if (letter > kLastLetter) {
        problems_.push_back(drive->Location() + ": no drive letter left");
        return false;
    }
    DriveEntry e;
    e.letter = letter;
    e.kind = kind;
    e.identity = drive->Identity();
    e.location = drive->Location();
    e.drive = std::move(drive);
    drives_.push_back(std::move(e));
    return true;
}

DriveTable DriveTable::Build(const DriveTableSources& sources) {
    DriveTable table;
    if (sources.realDrives)
        for (RealDriveInfo& info : FindRealDrives(sources.sysClassBlock, sources.deviceFolder))
            table.Add(DriveKind::kReal, std::make_shared<SgDrive>(info.node, info.identity));
    std::set<std::string> seen;
    for (const std::string& path : sources.imagePaths) {
        if (!seen.insert(path).second) continue;  // named twice: one drive
        vdrive::LoadError error;
        const auto map = sources.rescueMaps.find(path);
        std::unique_ptr<vdrive::VirtualDrive> drive =
            vdrive::VirtualDrive::Open(path, error, map != sources.rescueMaps.end() ? map->second : std::string());
        if (!drive) {
            table.problems_.push_back(error.Text());
            continue;
        }
        table.Add(DriveKind::kVirtual, std::shared_ptr<ScsiDrive>(std::move(drive)));
    }
    return table;
}

namespace {

DriveTable& ProcessTable() {
    static DriveTable table = [] {
        DriveTableSources sources;
        if (const char* images = std::getenv(kImagesVariable)) sources.imagePaths = SplitImageList(images);
        for (std::string& path : VirtualDrivePathsFromRegistry()) sources.imagePaths.push_back(std::move(path));
        return DriveTable::Build(sources);
    }();
    return table;
}

}  // namespace

const DriveTable& DriveTable::Process() { return ProcessTable(); }

bool DriveTable::AddProcessImage(const std::string& path, char& letter, std::string& error) {
    DriveTable& table = ProcessTable();
    {
        std::lock_guard lock(ProcessTableMutex());
        for (const DriveEntry& e : table.drives_) {
            if (e.kind == DriveKind::kVirtual && SameFile(e.location, path)) {
                letter = e.letter;
                return true;
            }
        }
        if (table.drives_.size() >= std::size_t(kLastLetter - kFirstLetter + 1)) {
            error = path + ": no drive letter left";
            return false;
        }
    }
    // Opening reads the image; the table is not held meanwhile.
    vdrive::LoadError loadError;
    std::unique_ptr<vdrive::VirtualDrive> drive = vdrive::VirtualDrive::Open(path, loadError);
    if (!drive) {
        error = loadError.Text();
        return false;
    }
    std::lock_guard lock(ProcessTableMutex());
    if (!table.Add(DriveKind::kVirtual, std::shared_ptr<ScsiDrive>(std::move(drive)))) {
        error = table.problems_.back();
        table.problems_.pop_back();
        return false;
    }
    letter = table.drives_.back().letter;
    return true;
}

const DriveEntry* DriveTable::Find(char letter) const {
    if (letter >= 'a' && letter <= 'z') letter = char(letter - 'a' + 'A');
    for (const DriveEntry& e : drives_)
        if (e.letter == letter) return &e;
    return nullptr;
}

void InstallProcessDriveTable() {
    SetDriveLister([] {
        DriveList list;
        const DriveTable& table = DriveTable::Process();
        std::lock_guard lock(ProcessTableMutex());
        for (const DriveEntry& e : table.Drives()) list.push_back(LetteredDrive{e.letter, e.drive});
        return list;
    });
}

}  // namespace dravik::platform
