#include "support/disc_builder.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/byte_order.h"

namespace dravik::test {

namespace {
// The gap between sessions on a real CD-R: lead-out, lead-in, pre-gap.
int32_t SessionGap(int previousSession) { return (previousSession == 1 ? 6750 : 2250) + 4500 + 150; }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }
}  // namespace

DiscBuilder::DiscBuilder(const TempDir& dir, std::string name) : dir_(dir), name_(std::move(name)) {}

DiscBuilder& DiscBuilder::Identity(const std::string& vendor, const std::string& product, const std::string& revision) {
    driveLines_.push_back("vendor " + Quoted(vendor));
    driveLines_.push_back("product " + Quoted(product));
    driveLines_.push_back("revision " + Quoted(revision));
    return *this;
}
DiscBuilder& DiscBuilder::OlderDrive() { return Directive("interface older"); }
DiscBuilder& DiscBuilder::Profile(int profile) { return Directive("profile " + std::to_string(profile)); }
DiscBuilder& DiscBuilder::ManualTray() { return Directive("tray manual"); }
DiscBuilder& DiscBuilder::NotReady(int commands) { return Directive("not-ready " + std::to_string(commands)); }
DiscBuilder& DiscBuilder::Directive(const std::string& line) {
    driveLines_.push_back(line);
    return *this;
}
DiscBuilder& DiscBuilder::Medium(const std::string& medium) {
    discLines_.push_back("medium " + medium);
    return *this;
}
DiscBuilder& DiscBuilder::Blank() {
    discLines_.push_back("blank");
    return *this;
}
DiscBuilder& DiscBuilder::Finalized(bool finalized) {
    discLines_.push_back(std::string("finalized ") + (finalized ? "yes" : "no"));
    return *this;
}
DiscBuilder& DiscBuilder::Capacity(int32_t blocks) {
    discLines_.push_back("capacity " + std::to_string(blocks));
    return *this;
}
DiscBuilder& DiscBuilder::Title(int track, const std::string& title) {
    discLines_.push_back("title " + std::to_string(track) + " " + Quoted(title));
    return *this;
}
DiscBuilder& DiscBuilder::Session(int32_t start, bool open) {
    if (!tracks_.empty() && sessions_.empty()) sessions_.push_back(BuiltSession{-1, false});
    sessions_.push_back(BuiltSession{start, open});
    return *this;
}
DiscBuilder& DiscBuilder::Unreadable(int32_t first, int32_t last) {
    tailLines_.push_back("unreadable " + std::to_string(first) + " " + std::to_string(last));
    return *this;
}

int DiscBuilder::Track(TrackKind kind, int32_t length, const TrackOptions& options) {
    if (sessions_.empty()) sessions_.push_back(BuiltSession{-1, false});
    BuiltTrack t{kind, length, options, int(sessions_.size()), 0, {}};
    const bool firstOfSession = tracks_.empty() || tracks_.back().session != t.session;
    const BuiltSession& session = sessions_.back();
    if (options.start >= 0) t.start = options.start;
    else if (firstOfSession && session.start >= 0) t.start = session.start;
    else if (tracks_.empty()) t.start = 0;
    else if (firstOfSession) t.start = tracks_.back().start + tracks_.back().length + SessionGap(tracks_.back().session);
    else t.start = tracks_.back().start + tracks_.back().length + options.pregap;
    if (!options.zeroFilled) {
        const uint32_t sector = SectorSize(t);
        t.data.assign(size_t(length) * sector, 0);
        for (int32_t b = 0; b < length; ++b) {
            uint8_t* p = &t.data[size_t(b) * sector];
            const uint32_t lba = uint32_t(t.start + b);
            bytes::PutBe32(p, lba);
            p[7] = uint8_t(tracks_.size() + 1);
        }
    }
    tracks_.push_back(std::move(t));
    return int(tracks_.size() - 1);
}

int32_t DiscBuilder::TrackStart(int track) const { return tracks_.at(size_t(track)).start; }

void DiscBuilder::WriteBlock(int track, int32_t blockInTrack, std::span<const uint8_t> bytes) {
    BuiltTrack& t = tracks_.at(size_t(track));
    const uint32_t sector = SectorSize(t);
    if (t.data.empty()) throw std::logic_error("the track is zero filled");
    if (blockInTrack < 0 || blockInTrack >= t.length || bytes.size() > sector)
        throw std::out_of_range("block outside the track or too many bytes");
    uint8_t* p = &t.data[size_t(blockInTrack) * sector];
    std::memset(p, 0, sector);
    std::memcpy(p, bytes.data(), bytes.size());
}

void DiscBuilder::WriteBlockAt(int32_t lba, std::span<const uint8_t> bytes) {
    for (size_t i = 0; i < tracks_.size(); ++i)
        if (lba >= tracks_[i].start && lba < tracks_[i].start + tracks_[i].length) {
            WriteBlock(int(i), lba - tracks_[i].start, bytes);
            return;
        }
    throw std::out_of_range("no track holds block " + std::to_string(lba));
}

std::string DiscBuilder::DescriptionText() const {
    std::ostringstream out;
    out << "# written by the test disc builder\n";
    for (const std::string& line : driveLines_) out << line << "\n";
    for (const std::string& line : discLines_) out << line << "\n";
    int session = 0;
    for (size_t i = 0; i < tracks_.size(); ++i) {
        const BuiltTrack& t = tracks_[i];
        if (t.session != session) {
            session = t.session;
            const BuiltSession& s = sessions_[size_t(session - 1)];
            out << "session" << (s.start >= 0 ? " start " + std::to_string(s.start) : "") << (s.open ? " open" : "") << "\n";
        }
        out << "track " << (t.kind == TrackKind::kMode1 ? "mode1" : t.kind == TrackKind::kMode2 ? "mode2" : "audio");
        out << " start " << t.start << " length " << t.length;
        if (t.options.pregap) out << " pregap " << t.options.pregap;
        if (t.options.zeroFilled) out << " zero";
        else out << " file " << Quoted(name_ + "-t" + std::to_string(i + 1) + ".bin");
        if (t.options.packetSize == 0) out << " packet variable";
        else if (t.options.packetSize > 0) out << " packet " << t.options.packetSize;
        if (t.options.open) out << " open";
        if (t.options.nextWritable >= 0) out << " next-writable " << t.options.nextWritable;
        if (t.options.freeBlocks >= 0) out << " free " << t.options.freeBlocks;
        if (t.options.control >= 0) out << " control " << t.options.control;
        out << "\n";
    }
    for (const std::string& line : tailLines_) out << line << "\n";
    return out.str();
}

std::string DiscBuilder::Write() const {
    for (size_t i = 0; i < tracks_.size(); ++i) {
        if (tracks_[i].data.empty()) continue;
        std::ofstream f(dir_.File(name_ + "-t" + std::to_string(i + 1) + ".bin"), std::ios::binary);
        f.write(reinterpret_cast<const char*>(tracks_[i].data.data()), std::streamsize(tracks_[i].data.size()));
    }
    return dir_.Write(name_ + ".vdisc", DescriptionText());
}

}  // namespace dravik::test
