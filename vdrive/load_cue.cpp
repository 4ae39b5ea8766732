// Cue sheets (.cue with .bin files): several files and tracks, INDEX and
// PREGAP/POSTGAP, track modes MODE1/2048, MODE1/2352, MODE2/2352 and AUDIO,
// CD-TEXT titles, and several sessions in the style archival rippers write:
//
//   REM SESSION 01          tracks of session 1 ...
//   REM LEAD-OUT 01:30:00   the lead-out of the session before
//   REM SESSION 02
//   REM LEAD-IN 01:00:00    the lead-in of this session
//   REM PREGAP 00:02:00     the pre-gap of its first track
//
// None of these gaps is stored in the files; they only move the block
// addresses of what follows (6750 + 4500 + 150 = 11400 blocks after the
// first session when the values are left out).
//
// Limits: those of text_lines.h; at most 99 files, 99 tracks, 100 index
// points per track; every INDEX must lie inside its file.
#include <optional>

#include "vdrive/image_loader.h"
#include "vdrive/text_lines.h"

namespace dravik::vdrive {

namespace {

constexpr size_t kMaxFiles = 99;
constexpr size_t kMaxIndexesPerTrack = 100;

struct CueIndex {
    int line;
    int number;
    size_t file;
    int32_t frame;  // from the start of the file
};

struct CueTrack {
    int line = 0;
    int number = 0;
    int session = 1;
    TrackMode mode = TrackMode::kAudio;
    uint32_t sectorSize = 2352;
    uint8_t flags = 0;
    int32_t pregap = 0, postgap = 0;  // PREGAP/POSTGAP: not in the file
    std::vector<CueIndex> indexes;
};

struct CueFile {
    int line = 0;
    std::shared_ptr<ImageFile> file;
};

struct SessionGaps {
    std::optional<int32_t> leadOut, leadIn, pregap;
};

struct CueSheet {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
    std::map<int, SessionGaps> gaps;  // by session number
    std::map<int, std::string> titles;
};

class CueParser {
public:
    CueParser(const std::string& path, LoadError& error) : path_(path), error_(error) {}

    bool Parse(std::string_view text, CueSheet& sheet) {
        std::vector<TextLine> lines;
        if (!SplitLines(text, path_, lines, error_)) return false;
        std::vector<std::string> words;
        for (const TextLine& line : lines) {
            if (line.text.empty()) continue;
            if (!SplitWords(line, path_, words, error_)) return false;
            line_ = line.number;
            if (!Command(words, sheet)) return false;
        }
        if (sheet.tracks.empty()) return Fail("the cue sheet names no tracks");
        for (const CueTrack& t : sheet.tracks) {
            bool hasIndex1 = false;
            for (const CueIndex& i : t.indexes) hasIndex1 |= i.number == 1;
            if (!hasIndex1) {
                line_ = t.line;
                return Fail("track " + std::to_string(t.number) + " has no INDEX 01");
            }
        }
        return true;
    }

private:
    bool Fail(const std::string& message) {
        error_ = LoadError{path_, line_, message};
        return false;
    }

    bool Time(const std::string& word, int32_t& frames) {
        if (ParseMsfText(word, frames)) return true;
        return Fail("bad time '" + word + "' (mm:ss:ff)");
    }

    bool Command(const std::vector<std::string>& w, CueSheet& sheet) {
        const std::string key = Upper(w[0]);
        if (key == "REM") return Remark(w, sheet);
        if (key == "FILE") {
            if (w.size() != 3) return Fail("FILE needs a name and a type");
            const std::string type = Upper(w[2]);
            if (type != "BINARY") return Fail("file type " + w[2] + " is not supported (only BINARY)");
            if (sheet.files.size() >= kMaxFiles) return Fail("too many files");
            std::string why;
            auto file = ImageFile::Open(ResolveBeside(path_, w[1]), why);
            if (!file) return Fail(why);
            sheet.files.push_back(CueFile{line_, file});
            return true;
        }
        if (key == "TRACK") {
            if (sheet.files.empty()) return Fail("TRACK before any FILE");
            if (w.size() != 3) return Fail("TRACK needs a number and a mode");
            int64_t n = 0;
            if (!ParseNumber(w[1], 1, 99, n)) return Fail("bad track number '" + w[1] + "'");
            if (!sheet.tracks.empty() && n != sheet.tracks.back().number + 1)
                return Fail("track " + w[1] + " does not follow track " + std::to_string(sheet.tracks.back().number));
            CueTrack t;
            t.line = line_;
            t.number = int(n);
            t.session = session_;
            const std::string mode = Upper(w[2]);
            if (mode == "AUDIO") t.mode = TrackMode::kAudio, t.sectorSize = 2352;
            else if (mode == "MODE1/2048") t.mode = TrackMode::kMode1, t.sectorSize = 2048;
            else if (mode == "MODE1/2352") t.mode = TrackMode::kMode1, t.sectorSize = 2352;
            else if (mode == "MODE2/2352") t.mode = TrackMode::kMode2, t.sectorSize = 2352;
            else return Fail("unsupported track mode '" + w[2] + "' (AUDIO, MODE1/2048, MODE1/2352 or MODE2/2352)");
            sheet.tracks.push_back(t);
            return true;
        }
        if (key == "INDEX") {
            if (sheet.tracks.empty()) return Fail("INDEX before any TRACK");
            if (w.size() != 3) return Fail("INDEX needs a number and a time");
            CueTrack& t = sheet.tracks.back();
            int64_t n = 0;
            int32_t frame = 0;
            if (!ParseNumber(w[1], 0, 99, n)) return Fail("bad index number '" + w[1] + "'");
            if (!Time(w[2], frame)) return false;
            if (t.indexes.size() >= kMaxIndexesPerTrack) return Fail("too many index points");
            const size_t file = sheet.files.size() - 1;
            if (!t.indexes.empty()) {
                const CueIndex& prev = t.indexes.back();
                if (n != prev.number + 1) return Fail("index " + w[1] + " does not follow index " + std::to_string(prev.number));
                if (prev.file == file && frame <= prev.frame) return Fail("index " + w[1] + " does not come after the one before");
            } else if (n > 1) {
                return Fail("a track's first index is 00 or 01");
            }
            // A track that begins in this file begins after the track before
            // (one without any index is refused once the sheet is read).
            if (t.indexes.empty() && sheet.tracks.size() > 1 && !sheet.tracks[sheet.tracks.size() - 2].indexes.empty()) {
                const CueTrack& prevTrack = sheet.tracks[sheet.tracks.size() - 2];
                const CueIndex& last = prevTrack.indexes.back();
                if (last.file == file && frame <= last.frame)
                    return Fail("track " + std::to_string(t.number) + " overlaps track " + std::to_string(prevTrack.number));
            }
            t.indexes.push_back(CueIndex{line_, int(n), file, frame});
            return true;
        }
        if (key == "PREGAP" || key == "POSTGAP") {
            if (sheet.tracks.empty()) return Fail(w[0] + " before any TRACK");
            if (w.size() != 2) return Fail(w[0] + " needs a time");
            int32_t frames = 0;
            if (!Time(w[1], frames)) return false;
            (key == "PREGAP" ? sheet.tracks.back().pregap : sheet.tracks.back().postgap) = frames;
            return true;
        }
        if (key == "FLAGS") {
            if (sheet.tracks.empty()) return Fail("FLAGS before any TRACK");
            uint8_t flags = 0;
            for (size_t i = 1; i < w.size(); ++i) {
                const std::string f = Upper(w[i]);
                if (f == "DCP") flags |= 0x2;
                else if (f == "4CH") flags |= 0x8;
                else if (f == "PRE") flags |= 0x1;
                else if (f != "SCMS") return Fail("unknown flag '" + w[i] + "'");
            }
            sheet.tracks.back().flags = flags;
            return true;
        }
        if (key == "TITLE") {
            if (w.size() != 2) return Fail("TITLE needs one text");
            sheet.titles[sheet.tracks.empty() ? 0 : sheet.tracks.back().number] = w[1];
            return true;
        }
        if (key == "PERFORMER" || key == "SONGWRITER" || key == "CATALOG" || key == "ISRC" || key == "CDTEXTFILE")
            return true;  // known, and nothing the drive answers
        return Fail("unknown command '" + w[0] + "'");
    }

    bool Remark(const std::vector<std::string>& w, CueSheet& sheet) {
        if (w.size() < 3) return true;
        const std::string what = Upper(w[1]);
        if (what == "SESSION") {
            int64_t n = 0;
            if (!ParseNumber(w[2], 1, 99, n)) return Fail("bad session number '" + w[2] + "'");
            if (n != session_ && n != session_ + 1) return Fail("session " + w[2] + " does not follow session " + std::to_string(session_));
            if (n != session_ && (sheet.tracks.empty() || sheet.tracks.back().session != session_))
                return Fail("session " + std::to_string(session_) + " has no tracks");
            session_ = int(n);
            return true;
        }
        int32_t frames = 0;
        if (what == "LEAD-OUT") {
            if (!Time(w[2], frames)) return false;
            sheet.gaps[session_].leadOut = frames;
        } else if (what == "LEAD-IN") {
            if (!Time(w[2], frames)) return false;
            sheet.gaps[session_].leadIn = frames;
        } else if (what == "PREGAP") {
            if (!Time(w[2], frames)) return false;
            sheet.gaps[session_].pregap = frames;
        }
        return true;  // other remarks are comments
    }

    const std::string& path_;
    LoadError& error_;
    int line_ = 0;
    int session_ = 1;
};

// Places the sheet's tracks at block addresses: the files follow one
// another, the gaps of PREGAP, POSTGAP and the sessions push everything
// after them on, and the first track's INDEX 01 is block 0.
class CueLayout {
public:
    CueLayout(const std::string& path, LoadError& error) : path_(path), error_(error) {}

    bool Build(const CueSheet& sheet, Disc& disc) {
        struct Position {
            size_t track, index;
        };
        // Walk every file's index points in order; each stretch of a file
        // between two points belongs to the track of the first point.
        std::vector<Position> points;
        for (size_t t = 0; t < sheet.tracks.size(); ++t)
            for (size_t i = 0; i < sheet.tracks[t].indexes.size(); ++i) points.push_back(Position{t, i});

        std::vector<int32_t> first(sheet.tracks.size()), start(sheet.tracks.size()), end(sheet.tracks.size());
        int64_t cursor = 0;
        size_t currentTrack = SIZE_MAX;
        size_t pointIndex = 0;
        for (size_t f = 0; f < sheet.files.size(); ++f) {
            const ImageFile& file = *sheet.files[f].file;
            uint64_t byte = 0;
            int32_t frame = 0;
            // Stretches of this file: from each point to the next point in the same file, or to the file's end.
            while (true) {
                const bool havePoint = pointIndex < points.size() &&
                                       sheet.tracks[points[pointIndex].track].indexes[points[pointIndex].index].file == f;
                int32_t stretchEndFrame = 0;
                bool toEnd = !havePoint;
                if (havePoint) stretchEndFrame = sheet.tracks[points[pointIndex].track].indexes[points[pointIndex].index].frame;
                // Data before the first track's first point belongs to no
                // track (a pre-gap that the sheet leaves out): skipped.
                const size_t owner = currentTrack != SIZE_MAX ? currentTrack : (havePoint ? points[pointIndex].track : SIZE_MAX);
                if (owner == SIZE_MAX) {
                    line_ = sheet.files[f].line;
                    return Fail("the file's blocks belong to no track (no INDEX in it)");
                }
                const CueTrack& ownerTrack = sheet.tracks[owner];
                int64_t frames;
                if (toEnd) {
                    const uint64_t rest = file.Size() - byte;
                    if (rest % ownerTrack.sectorSize != 0) {
                        line_ = sheet.files[f].line;
                        return Fail("'" + file.Path() + "' is truncated: its size is not a whole number of " +
                                    std::to_string(ownerTrack.sectorSize) + "-byte sectors");
                    }
                    frames = int64_t(rest / ownerTrack.sectorSize);
                } else {
                    frames = stretchEndFrame - frame;
                }
                const uint64_t bytes = uint64_t(frames) * ownerTrack.sectorSize;
                if (frames < 0 || byte + bytes > file.Size()) {
                    line_ = sheet.tracks[points[pointIndex].track].indexes[points[pointIndex].index].line;
                    return Fail("'" + file.Path() + "' is truncated: this INDEX lies beyond its end");
                }
                if (cursor + frames > int64_t(kLastAddress) + 150) return Fail("the disc is longer than a disc can address");
                if (frames > 0 && currentTrack != SIZE_MAX) {
                    disc.areas.push_back(Area{int32_t(cursor), int32_t(frames), sheet.files[f].file, byte, ownerTrack.sectorSize});
                    cursor += frames;
                }
                byte += bytes;
                frame += int32_t(frames);
                if (!havePoint) break;
                // Arrive at the next point.
                const Position p = points[pointIndex++];
                const CueTrack& t = sheet.tracks[p.track];
                if (p.index == 0) {
                    if (currentTrack != SIZE_MAX) {
                        const CueTrack& prev = sheet.tracks[currentTrack];
                        cursor += prev.postgap;
                        end[currentTrack] = int32_t(cursor);
                        if (t.session != prev.session) cursor += SessionLeadOutAndIn(sheet, prev.session, t.session);
                    }
                    int32_t gap = t.pregap;
                    if (currentTrack != SIZE_MAX && t.session != sheet.tracks[currentTrack].session)
                        gap += sheet.gaps.count(t.session) && sheet.gaps.at(t.session).pregap ? *sheet.gaps.at(t.session).pregap : kPregapBlocks;
                    first[p.track] = int32_t(cursor);
                    cursor += gap;  // zero-filled, not in the file
                    currentTrack = p.track;
                }
                if (t.indexes[p.index].number == 1) start[p.track] = int32_t(cursor);
            }
        }
        if (currentTrack != SIZE_MAX) end[currentTrack] = int32_t(cursor + sheet.tracks[currentTrack].postgap);

        // Block 0 is the first track's INDEX 01.
        const int32_t zero = start[0];
        for (Area& a : disc.areas) a.first -= zero;
        for (size_t t = 0; t < sheet.tracks.size(); ++t) {
            const CueTrack& c = sheet.tracks[t];
            Track track;
            track.line = c.line;
            track.number = c.number;
            track.session = c.session;
            track.mode = c.mode;
            track.control = uint8_t((c.mode == TrackMode::kAudio ? 0x0 : 0x4) | c.flags);
            track.start = start[t] - zero;
            track.pregap = start[t] - first[t];
            track.end = end[t] - zero;
            disc.tracks.push_back(track);
        }
        disc.titles = sheet.titles;
        return true;
    }

private:
    bool Fail(const std::string& message) {
        error_ = LoadError{path_, line_, message};
        return false;
    }

    static int32_t SessionLeadOutAndIn(const CueSheet& sheet, int before, int after) {
        auto gapsBefore = sheet.gaps.find(before);
        auto gapsAfter = sheet.gaps.find(after);
        int32_t leadOut = before == 1 ? kFirstLeadOutBlocks : kLaterLeadOutBlocks;
        if (gapsBefore != sheet.gaps.end() && gapsBefore->second.leadOut) leadOut = *gapsBefore->second.leadOut;
        int32_t leadIn = kLeadInBlocks;
        if (gapsAfter != sheet.gaps.end() && gapsAfter->second.leadIn) leadIn = *gapsAfter->second.leadIn;
        return leadOut + leadIn;
    }

    const std::string& path_;
    LoadError& error_;
    int line_ = 0;
};

}  // namespace

bool ParseCue(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error) {
    CueSheet sheet;
    CueParser parser(path, error);
    if (!parser.Parse(text, sheet)) return false;
    auto disc = std::make_shared<Disc>();
    disc->medium = Medium::kCdRom;
    disc->sourcePath = path;
    CueLayout layout(path, error);
    if (!layout.Build(sheet, *disc)) return false;
    int line = 0;
    std::string problem = FinishDisc(*disc, &line);
    if (!problem.empty()) {
        error = LoadError{path, line, problem};
        return false;
    }
    out.disc = std::move(disc);
    out.drive = DriveConfig{};
    return true;
}

}  // namespace dravik::vdrive
