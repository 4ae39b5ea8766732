#include "demo_iso_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

namespace dravik::cli {

namespace {

constexpr std::size_t kBlock = 2048;
constexpr std::int32_t kFirstDescriptor = 16;

using Bytes = std::vector<std::uint8_t>;

void Le16(Bytes& b, std::size_t at, std::uint32_t v) { b[at] = v & 0xFF, b[at + 1] = (v >> 8) & 0xFF; }
void Be16(Bytes& b, std::size_t at, std::uint32_t v) { b[at] = (v >> 8) & 0xFF, b[at + 1] = v & 0xFF; }
void Le32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}
void Be32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + 3 - i] = (v >> (8 * i)) & 0xFF;
}
void Both16(Bytes& b, std::size_t at, std::uint32_t v) { Le16(b, at, v), Be16(b, at + 2, v); }
void Both32(Bytes& b, std::size_t at, std::uint32_t v) { Le32(b, at, v), Be32(b, at + 4, v); }
void Text(Bytes& b, std::size_t at, std::size_t width, const std::string& text) {
    for (std::size_t i = 0; i < width; ++i) b[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

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
    const std::size_t size = 33 + id.size() + (id.size() % 2 == 0 ? 1 : 0);
    Bytes r(size, 0);
    r[0] = static_cast<std::uint8_t>(size);
    Both32(r, 2, block);
    Both32(r, 10, length);
    std::memcpy(&r[18], date, 6);
    r[24] = 0;  // Greenwich
    r[25] = folder ? 0x02 : 0x00;
    Both16(r, 28, 1);
    r[32] = static_cast<std::uint8_t>(id.size());
    std::memcpy(&r[33], id.data(), id.size());
    return r;
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
            data.resize((data.size() + kBlock - 1) / kBlock * kBlock, 0);
            next += static_cast<std::uint32_t>((file.content.size() + kBlock - 1) / kBlock);
        }
        const std::size_t slash = file.path.find('/');
        const std::string name = slash == std::string::npos ? file.path : file.path.substr(slash + 1);
        Folder& folder = slash == std::string::npos ? root : subfolders[file.path.substr(0, slash)];
        folder.entries.push_back({name + ";1", static_cast<std::uint32_t>(file.earlierBlock), file.earlierLength, false});
    }
    for (auto& [name, folder] : subfolders) root.entries.push_back({name, folder.block, kBlock, true});

    const std::uint32_t totalBlocks = next - static_cast<std::uint32_t>(session.start);
    Bytes image(std::size_t(totalBlocks) * kBlock, 0);
    auto at = [&](std::uint32_t block) { return std::size_t(block - session.start) * kBlock; };

    auto writeFolder = [&](Folder& folder, std::uint32_t parentBlock) {
        std::sort(folder.entries.begin(), folder.entries.end(),
                  [](const Entry& a, const Entry& b) { return a.id < b.id; });
        std::size_t offset = at(folder.block);
        const std::size_t end = offset + kBlock;
        auto put = [&](const Bytes& record) {
            if (offset + record.size() > end) throw std::length_error("demo folder does not fit in one block");
            std::memcpy(&image[offset], record.data(), record.size());
            offset += record.size();
        };
        put(Record(std::string(1, '\0'), folder.block, kBlock, true, session.date));
        put(Record(std::string(1, '\1'), parentBlock, kBlock, true, session.date));
        for (const Entry& e : folder.entries) put(Record(e.id, e.block, e.length, e.folder, session.date));
    };
    writeFolder(root, root.block);
    for (auto& [name, folder] : subfolders) writeFolder(folder, root.block);

    // Path tables: the root (parent 1), then each subfolder (parent 1).
    Bytes tableL, tableM;
    auto addPath = [&](const std::string& id, std::uint32_t block) {
        const std::string recorded = id.empty() ? std::string(1, '\0') : id;
        const std::size_t size = 8 + recorded.size() + recorded.size() % 2;
        Bytes l(size, 0), m(size, 0);
        l[0] = m[0] = static_cast<std::uint8_t>(recorded.size());
        Le32(l, 2, block), Be32(m, 2, block);
        Le16(l, 6, 1), Be16(m, 6, 1);
        std::memcpy(&l[8], recorded.data(), recorded.size());
        std::memcpy(&m[8], recorded.data(), recorded.size());
        tableL.insert(tableL.end(), l.begin(), l.end());
        tableM.insert(tableM.end(), m.begin(), m.end());
    };
    addPath("", root.block);
    for (auto& [name, folder] : subfolders) addPath(name, folder.block);
    const std::uint32_t pathL = session.start + kFirstDescriptor + 2, pathM = pathL + 1;
    std::memcpy(&image[at(pathL)], tableL.data(), tableL.size());
    std::memcpy(&image[at(pathM)], tableM.data(), tableM.size());

    // The primary volume descriptor; the volume's size counts from block 0
    // of the disc, as on every multi-session disc.
    Bytes pvd(kBlock, 0);
    pvd[0] = 1;
    std::memcpy(&pvd[1], "CD001", 5);
    pvd[6] = 1;
    Text(pvd, 8, 32, "LINUX");
    Text(pvd, 40, 32, session.volumeId);
    Both32(pvd, 80, next);
    Both16(pvd, 120, 1);
    Both16(pvd, 124, 1);
    Both16(pvd, 128, kBlock);
    Both32(pvd, 132, static_cast<std::uint32_t>(tableL.size()));
    Le32(pvd, 140, pathL);
    Be32(pvd, 148, pathM);
    const Bytes rootRecord = Record(std::string(1, '\0'), root.block, kBlock, true, session.date);
    std::memcpy(&pvd[156], rootRecord.data(), 34);
    Text(pvd, 190, 128, "");
    Text(pvd, 318, 128, "DRAVIK SAMPLE DISC");
    Text(pvd, 446, 128, "");
    Text(pvd, 574, 128, "DRAVIK-CLI MAKE-DEMO");
    Text(pvd, 702, 37 * 3, "");
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d00", 1900 + session.date[0], session.date[1],
                  session.date[2], session.date[3], session.date[4], session.date[5]);
    for (const std::size_t field : {813, 830}) std::memcpy(&pvd[field], stamp, 16);
    for (const std::size_t field : {847, 864}) std::memset(&pvd[field], '0', 16);
    pvd[881] = 1;
    std::memcpy(&image[at(session.start + kFirstDescriptor)], pvd.data(), kBlock);

    Bytes terminator(kBlock, 0);
    terminator[0] = 255;
    std::memcpy(&terminator[1], "CD001", 5);
    terminator[6] = 1;
    std::memcpy(&image[at(session.start + kFirstDescriptor + 1)], terminator.data(), kBlock);

    std::memcpy(&image[at(root.block) + (subfolders.size() + 1) * kBlock], data.data(), data.size());
    return image;
}

}  // namespace dravik::cli
