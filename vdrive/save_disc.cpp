#include "vdrive/save_disc.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "vdrive/block_source.h"
#include "vdrive/sector_codec.h"

namespace dravik::vdrive {

namespace {

const char* MediumWord(Medium m) {
    switch (m) {
    case Medium::kCdR: return "cd-r";
    case Medium::kCdRw: return "cd-rw";
    case Medium::kDvdPlusRw: return "dvd+rw";
    default: return "cd-rom";
    }
}

const char* ModeWord(TrackMode m) {
    switch (m) {
    case TrackMode::kAudio: return "audio";
    case TrackMode::kMode2: return "mode2";
    default: return "mode1";
    }
}

std::string FileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Stem(const std::string& path) {
    const std::string name = FileName(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The blocks of one track as the drive reads them: user data of data
// tracks, the whole sector of audio tracks; what was never written is zeros.
std::string SaveTrack(const Disc& disc, const Track& t, const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot create '" + path + "'";
    DiscView view(disc);
    const bool audio = t.mode == TrackMode::kAudio;
    std::vector<uint8_t> block(audio ? kRawSectorSize : kUserDataSize);
    for (int32_t lba = t.start; lba < t.end; ++lba) {
        Sense s = audio ? ReadRawBlock(view, t, lba, block.data()) : ReadUserData(view, t, lba, block.data());
        if (s.key) std::fill(block.begin(), block.end(), uint8_t(0));
        out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(block.size()));
    }
    out.close();
    return out ? std::string() : "cannot write '" + path + "'";
}

}  // namespace

std::string SaveDiscImage(const Disc& disc, const std::string& descriptionPath) {
    std::string text = "# A disc as a recording drive left it.\n";
    text += std::string("medium ") + MediumWord(disc.medium) + "\n";
    if (disc.medium == Medium::kDvdPlusRw) {
        static const char* const kFormats[] = {"none", "stopped", "running", "done"};
        text += "blank\nbackground-format " + std::string(kFormats[int(disc.format) & 3]) + "\n";
    } else if (disc.tracks.empty()) {
        text += "blank\n";
    } else {
        text += std::string("finalized ") + (disc.finalized ? "yes" : "no") + "\n";
    }
    text += "capacity " + std::to_string(disc.capacity) + "\n";
    int session = 0;
    for (const Track& t : disc.tracks) {
        if (t.session != session) {
            session = t.session;
            const bool open = disc.lastSessionOpen && session == disc.tracks.back().session;
            text += open ? "session open\n" : "session\n";
        }
        char number[8];
        std::snprintf(number, sizeof number, "%02d", t.number);
        const std::string data = Stem(descriptionPath) + ".t" + number + ".bin";
        std::string problem = SaveTrack(disc, t, Folder(descriptionPath) + data);
        if (!problem.empty()) return problem;
        text += std::string("track ") + ModeWord(t.mode) + " number " + std::to_string(t.number) + " file " + data +
                " start " + std::to_string(t.start) + " length " + std::to_string(t.Length());
        if (t.pregap) text += " pregap " + std::to_string(t.pregap);
        if (t.packet) text += " packet " + (t.fixedPacketSize ? std::to_string(t.fixedPacketSize) : std::string("variable"));
        if (t.incomplete) {
            text += " open";
            if (t.nextWritable >= 0) text += " next-writable " + std::to_string(t.nextWritable);
            if (t.freeBlocks >= 0) text += " free " + std::to_string(t.freeBlocks);
        }
        text += "\n";
    }
    std::ofstream out(descriptionPath, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot create '" + descriptionPath + "'";
    out << text;
    out.close();
    return out ? std::string() : "cannot write '" + descriptionPath + "'";
}

}  // namespace dravik::vdrive
