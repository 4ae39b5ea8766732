// CloneCD images: a .ccd control file (INI sections holding the disc's
// full TOC), an .img of raw 2352-byte sectors and an optional .sub.
//
// The .img holds only each session's program area, one session after the
// other: lead-outs, lead-ins and the next session's pre-gap are not
// stored. The block address of every track is its [Entry] PLBA, which is
// the authority ([TRACK] INDEX values are read differently by different
// tools and are not used).
//
// Limits: those of text_lines.h; at most kMaxSections sections and
// kMaxEntries TOC entries.
#include <algorithm>
#include <optional>

#include "vdrive/image_loader.h"
#include "vdrive/msf.h"
#include "vdrive/sector_codec.h"
#include "vdrive/text_lines.h"

namespace dravik::vdrive {

namespace {

constexpr size_t kMaxSections = 1000;
constexpr size_t kMaxEntries = 500;

struct Section {
    std::string name;  // upper case
    int line = 0;
    std::map<std::string, std::pair<std::string, int>> values;  // upper-case key -> value, line
};

struct TocEntry {
    int line = 0;
    int session = 0;
    int point = 0;
    uint8_t control = 0;
    int32_t plba = 0;
};

class CcdReader {
public:
    CcdReader(const std::string& path, LoadError& error) : path_(path), error_(error) {}

    bool Read(std::string_view text, LoadedImage& out) {
        std::vector<Section> sections;
        if (!ParseSections(text, sections)) return false;
        std::vector<TocEntry> entries;
        std::map<int, int> trackModes;  // from [TRACK n] MODE
        std::optional<int64_t> declaredSessions;
        bool sawCloneCd = false;
        for (const Section& s : sections) {
            if (s.name == "CLONECD") sawCloneCd = true;
            if (s.name == "DISC") {
                int64_t v;
                if (auto it = s.values.find("SESSIONS"); it != s.values.end()) {
                    if (!Value(it->second, 1, 99, v)) return false;
                    declaredSessions = v;
                }
            } else if (s.name.rfind("ENTRY ", 0) == 0) {
                if (entries.size() >= kMaxEntries) return Fail(s.line, "too many TOC entries");
                TocEntry e;
                if (!Entry(s, e)) return false;
                entries.push_back(e);
            } else if (s.name.rfind("TRACK ", 0) == 0) {
                int64_t number = 0, mode = 0;
                if (!ParseNumber(s.name.substr(6), 1, 99, number)) return Fail(s.line, "bad track section");
                if (auto it = s.values.find("MODE"); it != s.values.end()) {
                    if (!Value(it->second, 0, 2, mode)) return false;
                    trackModes[int(number)] = int(mode);
                }
            }
        }
        if (!sawCloneCd) return Fail(0, "not a CloneCD control file (no [CloneCD] section)");
        return Build(entries, trackModes, declaredSessions, out);
    }

private:
    bool Fail(int line, const std::string& message) {
        error_ = LoadError{path_, line, message};
        return false;
    }

    bool Value(const std::pair<std::string, int>& value, int64_t min, int64_t max, int64_t& out) {
        if (ParseNumber(value.first, min, max, out)) return true;
        return Fail(value.second, "bad value '" + value.first + "'");
    }

    bool ParseSections(std::string_view text, std::vector<Section>& sections) {
        std::vector<TextLine> lines;
        if (!SplitLines(text, path_, lines, error_)) return false;
        for (const TextLine& line : lines) {
            std::string_view t = line.text;
            if (t.empty() || t[0] == ';' || t[0] == '#') continue;
            if (t[0] == '[') {
                if (t.back() != ']') return Fail(line.number, "a section name is not closed");
                if (sections.size() >= kMaxSections) return Fail(line.number, "too many sections");
                sections.push_back(Section{Upper(t.substr(1, t.size() - 2)), line.number, {}});
                continue;
            }
            size_t eq = t.find('=');
            if (eq == std::string_view::npos) return Fail(line.number, "expected key=value");
            if (sections.empty()) return Fail(line.number, "a value outside any section");
            std::string_view key = t.substr(0, eq), value = t.substr(eq + 1);
            while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.remove_suffix(1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
            sections.back().values[Upper(key)] = {std::string(value), line.number};
        }
        return true;
    }

    bool Entry(const Section& s, TocEntry& e) {
        e.line = s.line;
        auto get = [&](const char* key, int64_t min, int64_t max, int64_t& out) -> int {
            auto it = s.values.find(key);
            if (it == s.values.end()) return 0;
            return Value(it->second, min, max, out) ? 1 : -1;
        };
        int64_t session = 0, point = 0, control = 0, plba = 0, m = 0, sec = 0, f = 0;
        if (get("SESSION", 1, 99, session) != 1) return error_.message.empty() ? Fail(s.line, "the entry has no Session") : false;
        if (get("POINT", 0, 255, point) != 1) return error_.message.empty() ? Fail(s.line, "the entry has no Point") : false;
        if (get("CONTROL", 0, 15, control) < 0) return false;
        int got = get("PLBA", -450150, kLastAddress, plba);
        if (got < 0) return false;
        if (got == 0) {
            if (get("PMIN", 0, 255, m) < 0 || get("PSEC", 0, 59, sec) < 0 || get("PFRAME", 0, 74, f) < 0) return false;
            plba = MsfToLba(uint32_t(m), uint32_t(sec), uint32_t(f));
        }
        e.session = int(session);
        e.point = int(point);
        e.control = uint8_t(control);
        e.plba = int32_t(plba);
        return true;
    }

    bool Build(const std::vector<TocEntry>& entries, const std::map<int, int>& trackModes,
               std::optional<int64_t> declaredSessions, LoadedImage& out) {
        struct SessionInfo {
            std::optional<int32_t> leadOut;
            int leadOutLine = 0;
            bool hasB0 = false;
        };
        std::map<int, SessionInfo> sessions;
        std::vector<const TocEntry*> tracks;
        bool hasC0 = false;
        for (const TocEntry& e : entries) {
            SessionInfo& s = sessions[e.session];
            if (e.point >= 1 && e.point <= 99) tracks.push_back(&e);
            else if (e.point == 0xA2) s.leadOut = e.plba, s.leadOutLine = e.line;
            else if (e.point == 0xB0) s.hasB0 = true;
            else if (e.point == 0xC0) hasC0 = true;
        }
        if (tracks.empty()) return Fail(0, "the TOC lists no tracks");
        if (declaredSessions && size_t(*declaredSessions) != sessions.size())
            return Fail(0, "[Disc] says " + std::to_string(*declaredSessions) + " sessions, the TOC has " +
                               std::to_string(sessions.size()));
        std::sort(tracks.begin(), tracks.end(), [](const TocEntry* a, const TocEntry* b) { return a->point < b->point; });

        // The image has the control file's name with the extension .img.
        const size_t slash = path_.rfind('/');
        const size_t dot = path_.rfind('.');
        const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
        const std::string imagePath = (hasExtension ? path_.substr(0, dot) : path_) + ".img";
        std::string why;
        auto image = ImageFile::Open(imagePath, why);
        if (!image) return Fail(0, why);

        auto disc = std::make_shared<Disc>();
        disc->sourcePath = path_;
        const bool appendable = sessions.rbegin()->second.hasB0;
        disc->medium = hasC0 || appendable ? Medium::kCdR : Medium::kCdRom;
        disc->hasAtip = hasC0;
        disc->finalized = !appendable;

        uint64_t imageOffset = 0;
        for (size_t i = 0; i < tracks.size(); ++i) {
            const TocEntry& e = *tracks[i];
            const SessionInfo& s = sessions[e.session];
            if (!s.leadOut) return Fail(e.line, "session " + std::to_string(e.session) + " has no lead-out (point A2)");
            Track t;
            t.line = e.line;
            t.number = e.point;
            t.session = e.session;
            t.control = e.control;
            auto mode = trackModes.find(e.point);
            const int m = mode != trackModes.end() ? mode->second : ((e.control & 0x4) ? 1 : 0);
            t.mode = m == 0 ? TrackMode::kAudio : m == 1 ? TrackMode::kMode1 : TrackMode::kMode2;
            if (m == 0 && (e.control & 0x4)) return Fail(e.line, "the TOC says data, the track section says audio");
            t.start = e.plba;
            const bool lastOfSession = i + 1 == tracks.size() || tracks[i + 1]->session != e.session;
            t.end = lastOfSession ? *s.leadOut : tracks[i + 1]->plba;
            if (t.end <= t.start) return Fail(e.line, "track " + std::to_string(t.number) + " ends before it begins");
            // The session's program area follows the one before in the .img.
            const bool firstOfSession = i == 0 || tracks[i - 1]->session != e.session;
            if (firstOfSession) {
                const uint64_t blocks = uint64_t(*s.leadOut - t.start);
                const uint64_t needed = imageOffset + blocks * kRawSectorSize;
                if (needed > image->Size())
                    return Fail(s.leadOutLine, "'" + imagePath + "' is truncated: session " + std::to_string(e.session) +
                                                   " needs " + std::to_string(needed) + " bytes, the file holds " +
                                                   std::to_string(image->Size()));
                disc->areas.push_back(Area{t.start, int32_t(blocks), image, imageOffset, uint32_t(kRawSectorSize)});
                imageOffset = needed;
            }
            disc->tracks.push_back(t);
        }
        int line = 0;
        std::string problem = FinishDisc(*disc, &line);
        if (!problem.empty()) return Fail(line, problem);
        out.disc = std::move(disc);
        out.drive = DriveConfig{};
        return true;
    }

    const std::string& path_;
    LoadError& error_;
};

}  // namespace

bool ParseCloneCd(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error) {
    error = LoadError{};
    CcdReader reader(path, error);
    return reader.Read(text, out);
}

}  // namespace dravik::vdrive
