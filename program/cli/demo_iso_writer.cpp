#include "demo_iso_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "program/iso_writer/iso_structures_writer.h"

namespace dravik::cli {

namespace {

constexpr std::int32_t kFirstDescriptor = 16;

using iso_writer::Bytes;
using iso_writer::kBlockBytes;

struct Entry {
    std::string id;  // as recorded: "NAME.EXT;1" for files, "NAME" for folders
    std::uint32_t block;
    std::uint32_t length;
    bool folder;
};

struct Folder {
    std::string name;  // "" for the root
    std::uint32_t block = 0;
    std::vector<Entry> entries;
};

Bytes Record(const std::string& id, std::uint32_t block, std::uint32_t length, bool folder, const std::uint8_t* date) {
    iso_writer::RecordFields fields;
    fields.extent = block;
    fields.length = length;
    fields.flags = folder ? iso_writer::kFlagDirectory : 0;
    fields.id = id;
    std::copy(date, date + 6, fields.date.begin());  // zone 0: Greenwich
    return iso_writer::DirectoryRecord(fields);
}

}  // namespace

std::vector<std::uint8_t> WriteDemoSession(DemoSession& session) {
    // Folders in path-table order: the root, then its subfolders by name.
    std::map<std::string, Folder> subfolders;
    Folder root;
    for (DemoFile& file : session.files) {
        const std::size_t slash = file.path.find('/');
        if (slash != std::string::npos) subfolders[file.path.substr(0, slash)].name = file.path.substr(0, slash);
    }
    std::uint32_t next = static_cast<std::uint32_t>(session.start) + kFirstDescriptor + 4;  // PVD, end, two path tables
    root.block = next++;
    for (auto& [name, folder] : subfolders) folder.block = next++;

    Bytes data;
    for (DemoFile& file : session.files) {
        if (file.earlierBlock < 0) {
            file.earlierBlock = static_cast<std::int32_t>(next);
            file.earlierLength = static_cast<std::uint32_t>(file.content.size());
            data.insert(data.end(), file.content.begin(), file.content.end());
            data.resize((data.size() + kBlockBytes - 1) / kBlockBytes * kBlockBytes, 0);
            next += static_cast<std::uint32_t>((file.content.size() + kBlockBytes - 1) / kBlockBytes);
        }
        const std::size_t slash = file.path.find('/');
        const std::string name = slash == std::string::npos ? file.path : file.path.substr(slash + 1);
        Folder& folder = slash == std::string::npos ? root : subfolders[file.path.substr(0, slash)];
        folder.entries.push_back({name + ";1", static_cast<std::uint32_t>(file.earlierBlock), file.earlierLength, false});
    }
    for (auto& [name, folder] : subfolders) root.entries.push_back({name, folder.block, kBlockBytes, true});

    const std::uint32_t totalBlocks = next - static_cast<std::uint32_t>(session.start);
    Bytes image(std::size_t(totalBlocks) * kBlockBytes, 0);
    auto at = [&](std::uint32_t block) { return std::size_t(block - session.start) * kBlockBytes; };

    auto writeFolder = [&](Folder& folder, std::uint32_t parentBlock) {
        std::sort(folder.entries.begin(), folder.entries.end(),
                  [](const Entry& a, const Entry& b) { return a.id < b.id; });
        std::vector<Bytes> records{Record(std::string(1, '\0'), folder.block, kBlockBytes, true, session.date),
                                   Record(std::string(1, '\1'), parentBlock, kBlockBytes, true, session.date)};
        for (const Entry& e : folder.entries) records.push_back(Record(e.id, e.block, e.length, e.folder, session.date));
        const Bytes block = iso_writer::PackBlock(records);
        std::memcpy(&image[at(folder.block)], block.data(), kBlockBytes);
    };
    writeFolder(root, root.block);
    for (auto& [name, folder] : subfolders) writeFolder(folder, root.block);

    // Path tables: the root (parent 1), then each subfolder (parent 1).
    std::vector<iso_writer::PathTableEntry> paths{{root.block, 1, std::string(1, '\0')}};
    for (auto& [name, folder] : subfolders) paths.push_back({folder.block, 1, name});
    const Bytes tableL = iso_writer::PathTable(paths, false), tableM = iso_writer::PathTable(paths, true);
    const std::uint32_t pathL = session.start + kFirstDescriptor + 2, pathM = pathL + 1;
    std::memcpy(&image[at(pathL)], tableL.data(), tableL.size());
    std::memcpy(&image[at(pathM)], tableM.data(), tableM.size());

    // The primary volume descriptor; the volume's size counts from block 0
    // of the disc, as on every multi-session disc.
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d00", 1900 + session.date[0], session.date[1],
                  session.date[2], session.date[3], session.date[4], session.date[5]);
    iso_writer::VolumeFields pvd;
    pvd.systemId = "LINUX";
    pvd.volumeId = session.volumeId;
    pvd.volumeSpace = next;
    pvd.volumeSetSize = 1;
    pvd.volumeSequence = 1;
    pvd.blockBytes = kBlockBytes;
    pvd.pathTableBytes = static_cast<std::uint32_t>(tableL.size());
    pvd.pathTableL = pathL;
    pvd.pathTableM = pathM;
    pvd.rootRecord = Record(std::string(1, '\0'), root.block, kBlockBytes, true, session.date);
    pvd.volumeSetId = "";
    pvd.publisherId = "DRAVIK SAMPLE DISC";
    pvd.preparerId = "";
    pvd.applicationId = "DRAVIK-CLI MAKE-DEMO";
    pvd.copyrightFile = pvd.abstractFile = pvd.bibliographicFile = "";
    pvd.created = pvd.modified = std::string(stamp, 16);
    pvd.expires = pvd.effective = std::string(16, '0');
    pvd.fileStructureVersion = 1;
    const Bytes descriptor = iso_writer::VolumeDescriptor(pvd);
    std::memcpy(&image[at(session.start + kFirstDescriptor)], descriptor.data(), kBlockBytes);
    const Bytes terminator = iso_writer::SetTerminator();
    std::memcpy(&image[at(session.start + kFirstDescriptor + 1)], terminator.data(), kBlockBytes);

    std::memcpy(&image[at(root.block) + (subfolders.size() + 1) * kBlockBytes], data.data(), data.size());
    return image;
}

}  // namespace dravik::cli
