// The native disc description (.vdisc): a text file, one directive per
// line, that composes a disc from files and zero-filled areas and states
// what no image format can (open sessions, packet-written tracks, blank
// discs, unreadable blocks or a ddrescue mapfile of them, CD-TEXT, ATIP)
// and the drive the disc sits in.
// The format is documented in README.md under "Disc descriptions".
//
// Limits: those of text_lines.h; at most 99 tracks and sessions; at most
// kMaxUnreadableRanges unreadable ranges; block addresses within
// [kFirstAddress, kLastAddress].
#include <optional>

#include "vdrive/image_loader.h"
#include "vdrive/rescue_map.h"
#include "vdrive/sector_codec.h"
#include "vdrive/text_lines.h"

namespace dravik::vdrive {

namespace {

constexpr size_t kMaxUnreadableRanges = 100000;

enum class SourceKind { kDefault, kFile, kZero, kImage };

struct TrackSpec {
    int line = 0;
    int session = 1;
    TrackMode mode = TrackMode::kMode1;
    std::optional<int> number;
    std::optional<int32_t> start, length, nextWritable, freeBlocks;
    int32_t pregap = 0;
    SourceKind source = SourceKind::kDefault;
    std::string file;
    uint64_t offset = 0;
    uint32_t sectorSize = 0;  // 0: by mode
    int packetSize = -1;      // -1: not packet written; 0: variable packets
    bool open = false;
    std::optional<uint8_t> control;
};

struct SessionSpec {
    int line = 0;
    std::optional<int32_t> start;
    bool open = false;
};

struct ImageSpec {
    int line = 0;
    std::string path;
    uint32_t sectorSize = 2048;
    int32_t first = 0;
};

struct Description {
    std::optional<Medium> medium;
    std::optional<bool> finalized, atip;
    bool blank = false;
    BackgroundFormat format = BackgroundFormat::kNone;
    std::optional<int32_t> capacity;
    std::optional<ImageSpec> image;
    std::vector<SessionSpec> sessions;
    std::vector<TrackSpec> tracks;
    std::vector<BlockRange> unreadable;
    std::optional<RescueMap> rescue;  // a ddrescue mapfile of the disc
    std::map<int, std::string> titles;
    DriveConfig drive;
};

class Parser {
public:
    Parser(const std::string& path, LoadError& error) : path_(path), error_(error) {}

    bool Parse(std::string_view text, Description& d) {
        std::vector<TextLine> lines;
        if (!SplitLines(text, path_, lines, error_)) return false;
        std::vector<std::string> words;
        for (const TextLine& line : lines) {
            if (line.text.empty() || line.text[0] == '#') continue;
            if (!SplitWords(line, path_, words, error_)) return false;
            line_ = line.number;
            if (!Directive(words, d)) return false;
        }
        return true;
    }

private:
    bool Fail(const std::string& message) {
        error_ = LoadError{path_, line_, message};
        return false;
    }
    bool Number(const std::string& word, int64_t min, int64_t max, int64_t& out, const char* what) {
        if (ParseNumber(word, min, max, out)) return true;
        return Fail(std::string("bad ") + what + " '" + word + "' (expected " + std::to_string(min) + " to " +
                    std::to_string(max) + ")");
    }
    bool Address(const std::string& word, int32_t& out) {
        int64_t v;
        if (!Number(word, kFirstAddress, kLastAddress, v, "block address")) return false;
        out = int32_t(v);
        return true;
    }
    bool Count(const std::string& word, int32_t& out, const char* what) {
        int64_t v;
        if (!Number(word, 0, kLastAddress, v, what)) return false;
        out = int32_t(v);
        return true;
    }
    bool YesNo(const std::string& word, bool& out) {
        const std::string w = Upper(word);
        if (w == "YES" || w == "ON") out = true;
        else if (w == "NO" || w == "OFF") out = false;
        else return Fail("expected yes or no, not '" + word + "'");
        return true;
    }
    bool Arguments(const std::vector<std::string>& w, size_t min, size_t max) {
        if (w.size() - 1 < min || w.size() - 1 > max) return Fail("wrong number of values for '" + w[0] + "'");
        return true;
    }

    bool Directive(const std::vector<std::string>& w, Description& d) {
        const std::string key = Upper(w[0]);
        DriveConfig& drive = d.drive;
        int64_t v = 0;
        if (key == "VENDOR" || key == "PRODUCT" || key == "REVISION" || key == "SERIAL") {
            if (!Arguments(w, 1, 1)) return false;
            const size_t width = key == "VENDOR" ? 8 : key == "PRODUCT" ? 16 : key == "REVISION" ? 4 : 32;
            if (w[1].size() > width) return Fail(w[0] + " is longer than " + std::to_string(width) + " characters");
            (key == "VENDOR" ? drive.vendor : key == "PRODUCT" ? drive.product : key == "REVISION" ? drive.revision : drive.serial) = w[1];
            return true;
        }
        if (key == "INTERFACE") {
            if (!Arguments(w, 1, 1)) return false;
            const std::string kind = Upper(w[1]);
            if (kind != "MMC" && kind != "OLDER") return Fail("interface is mmc or older, not '" + w[1] + "'");
            drive.mmc = kind == "MMC";
            return true;
        }
        if (key == "ANSI-VERSION") {
            if (!Arguments(w, 1, 1) || !Number(w[1], 0, 7, v, "ANSI version")) return false;
            drive.ansiVersion = int(v);
            return true;
        }
        if (key == "DEVICE-TYPE") {
            if (!Arguments(w, 1, 1) || !Number(w[1], 0, 0x1F, v, "peripheral device type")) return false;
            drive.peripheralType = int(v);
            return true;
        }
        if (key == "REMOVABLE") {
            bool yes = true;
            if (!Arguments(w, 1, 1) || !YesNo(w[1], yes)) return false;
            drive.removable = yes;
            return true;
        }
        if (key == "MODE-SENSE") {
            if (!Arguments(w, 1, 1)) return false;
            const std::string when = Upper(w[1]);
            if (when != "ALWAYS" && when != "NEEDS-MEDIUM")
                return Fail("mode-sense is always or needs-medium, not '" + w[1] + "'");
            drive.modeSenseNeedsMedium = when == "NEEDS-MEDIUM";
            return true;
        }
        if (key == "ALL-PAGES") {
            bool yes = true;
            if (!Arguments(w, 1, 1) || !YesNo(w[1], yes)) return false;
            drive.allPagesAnswered = yes;
            return true;
        }
        if (key == "TOC-FORMAT") {
            if (!Arguments(w, 1, 1)) return false;
            const std::string where = Upper(w[1]);
            if (where == "EITHER")
                drive.tocFormatField = DriveConfig::TocFormatField::kEither;
            else if (where == "BYTE2")
                drive.tocFormatField = DriveConfig::TocFormatField::kByte2;
            else if (where == "BYTE9")
                drive.tocFormatField = DriveConfig::TocFormatField::kByte9;
            else
                return Fail("toc-format is either, byte2 or byte9, not '" + w[1] + "'");
            return true;
        }
        if (key == "BUFFER") {
            if (!Arguments(w, 1, 1) || !Number(w[1], 0, 0xFFFF, v, "buffer size (KB)")) return false;
            drive.bufferKB = uint32_t(v);
            return true;
        }
        if (key == "PROFILE") {
            if (!Arguments(w, 1, 1) || !Number(w[1], 0, 0xFFFF, v, "profile")) return false;
            drive.currentProfile = int(v);
            return true;
        }
        if (key == "TRAY") {
            if (!Arguments(w, 1, 1)) return false;
            const std::string kind = Upper(w[1]);
            if (kind != "LOAD" && kind != "MANUAL") return Fail("tray is load or manual, not '" + w[1] + "'");
            drive.canLoadTray = kind == "LOAD";
            return true;
        }
        if (key == "MRW") {
            if (!Arguments(w, 1, 1)) return false;
            return YesNo(w[1], drive.mrw);
        }
        if (key == "PAGES") {
            drive.pageCodes.clear();
            for (size_t i = 1; i < w.size(); ++i) {
                if (!Number(HexWord(w[i]), 0, 0x3E, v, "page code")) return false;
                drive.pageCodes.push_back(uint8_t(v));
            }
            return true;
        }
        if (key == "PAGE") {
            if (!Arguments(w, 2, 300)) return false;
            std::vector<uint8_t> bytes;
            for (size_t i = 1; i < w.size(); ++i) {
                if (!Number(HexWord(w[i]), 0, 255, v, "page byte")) return false;
                bytes.push_back(uint8_t(v));
            }
            if ((bytes[0] & 0x3F) == 0x3F || bytes[0] & 0xC0) return Fail("bad page code");
            if (bytes.size() != size_t(bytes[1]) + 2)
                return Fail("page length byte says " + std::to_string(bytes[1]) + " bytes follow, " +
                            std::to_string(bytes.size() - 2) + " are given");
            drive.pageBytes[bytes[0]] = bytes;
            return true;
        }
        if (key == "NOT-READY") {
            if (!Arguments(w, 1, 1) || !Number(w[1], 0, 1000000, v, "command count")) return false;
            drive.notReadyCommands = int(v);
            return true;
        }
        if (key == "UNIT-ATTENTION") {
            if (!Arguments(w, 0, 0)) return false;
            drive.unitAttentionAtStart = true;
            return true;
        }
        if (key == "TIMING") {
            int64_t speed = 0;
            if (!Arguments(w, 2, 2) || !Number(w[1], 0, 10000000, v, "latency") ||
                !Number(w[2], 1, 100000, speed, "speed"))
                return false;
            drive.timing = TimingModel{uint32_t(v), uint32_t(speed)};
            return true;
        }
        if (key == "MEDIUM") {
            if (!Arguments(w, 1, 1)) return false;
            const std::string m = Upper(w[1]);
            if (m == "CD-ROM") d.medium = Medium::kCdRom;
            else if (m == "CD-R") d.medium = Medium::kCdR;
            else if (m == "CD-RW") d.medium = Medium::kCdRw;
            else if (m == "DVD+RW") d.medium = Medium::kDvdPlusRw;
            else if (m == "NONE") d.medium = Medium::kNone;
            else return Fail("medium is cd-rom, cd-r, cd-rw, dvd+rw or none, not '" + w[1] + "'");
            return true;
        }
        if (key == "BLANK") {
            d.blank = true;
            return Arguments(w, 0, 0);
        }
        if (key == "BACKGROUND-FORMAT") {
            if (!Arguments(w, 1, 1)) return false;
            const std::string f = Upper(w[1]);
            if (f == "NONE") d.format = BackgroundFormat::kNone;
            else if (f == "STOPPED") d.format = BackgroundFormat::kStopped;
            else if (f == "RUNNING") d.format = BackgroundFormat::kRunning;
            else if (f == "DONE") d.format = BackgroundFormat::kDone;
            else return Fail("background-format is none, stopped, running or done, not '" + w[1] + "'");
            return true;
        }
        if (key == "BUSY" || key == "WRITE-BUSY") {
            if (!Arguments(w, 1, 1) || !Number(w[1], 0, 100000000, v, "poll count")) return false;
            (key == "BUSY" ? drive.busyPolls : drive.writeBusyPolls) = int(v);
            return true;
        }
        if (key == "FINALIZED" || key == "ATIP") {
            bool yes = false;
            if (!Arguments(w, 1, 1) || !YesNo(w[1], yes)) return false;
            (key == "ATIP" ? d.atip : d.finalized) = yes;
            return true;
        }
        if (key == "CAPACITY") {
            int32_t c = 0;
            if (!Arguments(w, 1, 1) || !Count(w[1], c, "capacity")) return false;
            d.capacity = c;
            return true;
        }
        if (key == "TITLE") {
            if (!Arguments(w, 2, 2) || !Number(w[1], 0, 99, v, "track number")) return false;
            d.titles[int(v)] = w[2];
            return true;
        }
        if (key == "IMAGE") return ImageDirective(w, d);
        if (key == "SESSION") return SessionDirective(w, d);
        if (key == "TRACK") return TrackDirective(w, d);
        if (key == "MAP") {
            if (!Arguments(w, 1, 1)) return false;
            if (d.rescue) return Fail("only one map can be given");
            RescueMap map;
            LoadError mapError;
            if (!LoadRescueMap(ResolveBeside(path_, w[1]), kUserDataSize, map, mapError)) return Fail(mapError.Text());
            d.rescue = std::move(map);
            return true;
        }
        if (key == "UNREADABLE") {
            BlockRange r;
            if (!Arguments(w, 1, 2) || !Address(w[1], r.first)) return false;
            r.last = r.first;
            if (w.size() == 3 && !Address(w[2], r.last)) return false;
            if (r.last < r.first) return Fail("the last unreadable block comes before the first");
            if (d.unreadable.size() >= kMaxUnreadableRanges) return Fail("too many unreadable ranges");
            d.unreadable.push_back(r);
            return true;
        }
        return Fail("unknown directive '" + w[0] + "'");
    }

    // Page codes and bytes are written in hexadecimal, with or without 0x.
    static std::string HexWord(const std::string& word) {
        return word.size() > 1 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X') ? word : "0x" + word;
    }

    bool SectorSize(const std::string& word, uint32_t& out) {
        if (word == "2048") out = 2048;
        else if (word == "2352") out = 2352;
        else return Fail("sector size is 2048 or 2352, not '" + word + "'");
        return true;
    }

    bool ImageDirective(const std::vector<std::string>& w, Description& d) {
        if (d.image) return Fail("only one whole-disc image can be given");
        if (w.size() < 2) return Fail("image needs a file name");
        ImageSpec image;
        image.line = line_;
        image.path = ResolveBeside(path_, w[1]);
        for (size_t i = 2; i < w.size(); i += 2) {
            if (i + 1 >= w.size()) return Fail("'" + w[i] + "' needs a value");
            const std::string k = Upper(w[i]);
            if (k == "SECTOR") {
                if (!SectorSize(w[i + 1], image.sectorSize)) return false;
            } else if (k == "FIRST") {
                if (!Address(w[i + 1], image.first)) return false;
            } else {
                return Fail("unknown image option '" + w[i] + "'");
            }
        }
        d.image = image;
        return true;
    }

    bool SessionDirective(const std::vector<std::string>& w, Description& d) {
        if (!d.sessions.empty() && (d.tracks.empty() || d.tracks.back().session != int(d.sessions.size())))
            return Fail("session " + std::to_string(d.sessions.size()) + " has no tracks");
        if (d.sessions.empty() && !d.tracks.empty()) d.sessions.push_back(SessionSpec{});  // tracks before any session line
        if (d.sessions.size() >= size_t(kMaxSessions)) return Fail("more than 99 sessions");
        SessionSpec s;
        s.line = line_;
        for (size_t i = 1; i < w.size(); ++i) {
            const std::string k = Upper(w[i]);
            if (k == "OPEN") {
                s.open = true;
            } else if (k == "START" && i + 1 < w.size()) {
                int32_t start = 0;
                if (!Address(w[++i], start)) return false;
                s.start = start;
            } else {
                return Fail("unknown session option '" + w[i] + "'");
            }
        }
        if (!d.sessions.empty() && d.sessions.back().open) return Fail("only the last session can be open");
        d.sessions.push_back(s);
        return true;
    }

    bool TrackDirective(const std::vector<std::string>& w, Description& d) {
        if (d.tracks.size() >= size_t(kMaxTracks)) return Fail("more than 99 tracks");
        if (w.size() < 2) return Fail("track needs a mode: mode1, mode2 or audio");
        if (d.sessions.empty()) d.sessions.push_back(SessionSpec{});
        TrackSpec t;
        t.line = line_;
        t.session = int(d.sessions.size());
        const std::string mode = Upper(w[1]);
        if (mode == "MODE1") t.mode = TrackMode::kMode1;
        else if (mode == "MODE2") t.mode = TrackMode::kMode2;
        else if (mode == "AUDIO") t.mode = TrackMode::kAudio;
        else return Fail("unknown track mode '" + w[1] + "' (mode1, mode2 or audio)");
        int64_t v = 0;
        for (size_t i = 2; i < w.size(); ++i) {
            const std::string k = Upper(w[i]);
            auto value = [&]() -> const std::string* {
                if (i + 1 >= w.size()) {
                    Fail("'" + w[i] + "' needs a value");
                    return nullptr;
                }
                return &w[++i];
            };
            const std::string* arg = nullptr;
            int32_t n = 0;
            if (k == "ZERO") {
                if (t.source != SourceKind::kDefault) return Fail("a track has one source");
                t.source = SourceKind::kZero;
            } else if (k == "IMAGE") {
                if (t.source != SourceKind::kDefault) return Fail("a track has one source");
                t.source = SourceKind::kImage;
            } else if (k == "OPEN") {
                t.open = true;
            } else if (!(arg = value())) {
                return false;
            } else if (k == "FILE") {
                if (t.source != SourceKind::kDefault) return Fail("a track has one source");
                t.source = SourceKind::kFile;
                t.file = ResolveBeside(path_, *arg);
            } else if (k == "OFFSET") {
                if (!Number(*arg, 0, INT64_MAX / 2, v, "offset")) return false;
                t.offset = uint64_t(v);
            } else if (k == "SECTOR") {
                if (!SectorSize(*arg, t.sectorSize)) return false;
            } else if (k == "NUMBER") {
                if (!Number(*arg, 1, 99, v, "track number")) return false;
                t.number = int(v);
            } else if (k == "START") {
                if (!Address(*arg, n)) return false;
                t.start = n;
            } else if (k == "LENGTH") {
                if (!Count(*arg, n, "length")) return false;
                if (n == 0) return Fail("a track holds at least one block");
                t.length = n;
            } else if (k == "PREGAP") {
                if (!Count(*arg, t.pregap, "pre-gap")) return false;
            } else if (k == "PACKET") {
                if (Upper(*arg) == "VARIABLE") t.packetSize = 0;
                else if (!Number(*arg, 1, 65536, v, "packet size")) return false;
                else t.packetSize = int(v);
            } else if (k == "NEXT-WRITABLE") {
                if (!Address(*arg, n)) return false;
                t.nextWritable = n;
            } else if (k == "FREE") {
                if (!Count(*arg, n, "free blocks")) return false;
                t.freeBlocks = n;
            } else if (k == "CONTROL") {
                if (!Number(*arg, 0, 15, v, "control")) return false;
                t.control = uint8_t(v);
            } else {
                return Fail("unknown track option '" + w[i] + "'");
            }
        }
        if (t.offset && t.source != SourceKind::kFile) return Fail("offset belongs to a track file");
        if ((t.nextWritable || t.freeBlocks) && !t.open) return Fail("next-writable and free belong to an open track");
        d.tracks.push_back(t);
        return true;
    }

    const std::string& path_;
    LoadError& error_;
    int line_ = 0;
};

// Turns the parsed description into a disc: places every track, opens its
// files and checks they hold the blocks the track needs.
class Builder {
public:
    Builder(const std::string& path, LoadError& error) : path_(path), error_(error) {}

    bool Build(Description& d, LoadedImage& out) {
        auto disc = std::make_shared<Disc>();
        disc->sourcePath = path_;
        const bool needsRecordable = d.blank || (!d.sessions.empty() && d.sessions.back().open) ||
                                     (d.finalized && !*d.finalized) ||
                                     (!d.tracks.empty() && (d.tracks.back().open || d.tracks.back().packetSize >= 0));
        disc->medium = d.medium.value_or(needsRecordable ? Medium::kCdR : Medium::kCdRom);
        if (disc->medium == Medium::kNone) {
            out.disc = disc;
            out.drive = d.drive;
            return true;
        }
        if (disc->medium == Medium::kDvdPlusRw) {
            if (!d.blank) return Fail(0, "a dvd+rw disc is described blank; what is recorded on it comes from the drive");
            disc->format = d.format;
            disc->finalized = true;
            if (d.capacity) disc->capacity = *d.capacity;
            else disc->capacity = 2295104;  // 4.7 GB
            out.disc = disc;
            out.drive = d.drive;
            return true;
        }
        if (needsRecordable && !disc->Recordable())
            return Fail(0, "blank discs, open sessions, packet-written tracks and unfinalized discs need medium cd-r or cd-rw");
        if (d.blank && !d.tracks.empty()) return Fail(d.tracks.front().line, "a blank disc has no tracks");
        if (!d.blank && d.tracks.empty()) return Fail(0, "no tracks (a disc without tracks is 'blank')");
        disc->hasAtip = d.atip.value_or(disc->Recordable());
        disc->finalized = d.finalized.value_or(true);
        if (d.capacity) disc->capacity = *d.capacity;
        disc->titles = d.titles;
        disc->unreadable = d.unreadable;
        disc->lastSessionOpen = !d.sessions.empty() && d.sessions.back().open;

        std::shared_ptr<ImageFile> image;
        if (d.image) {
            std::string why;
            image = ImageFile::Open(d.image->path, why);
            if (!image) return Fail(d.image->line, why);
        }
        if (!d.sessions.empty() && !d.tracks.empty() && d.tracks.back().session != int(d.sessions.size()))
            return Fail(d.sessions.back().line, "session " + std::to_string(d.sessions.size()) + " has no tracks");

        int32_t previousEnd = 0;
        for (size_t i = 0; i < d.tracks.size(); ++i) {
            const TrackSpec& s = d.tracks[i];
            Track t;
            t.line = s.line;
            t.session = s.session;
            t.mode = s.mode;
            t.number = s.number.value_or(i == 0 ? 1 : disc->tracks.back().number + 1);
            t.pregap = s.pregap;
            t.packet = s.packetSize >= 0;
            t.fixedPacketSize = s.packetSize > 0 ? uint32_t(s.packetSize) : 0;
            t.incomplete = s.open;
            t.nextWritable = s.nextWritable.value_or(-1);
            t.freeBlocks = s.freeBlocks.value_or(-1);
            t.control = s.control.value_or(s.mode == TrackMode::kAudio ? 0x0 : (t.packet || t.incomplete) ? 0x5 : 0x4);
            const bool firstOfSession = i == 0 || d.tracks[i - 1].session != s.session;
            const SessionSpec& session = d.sessions[size_t(s.session - 1)];
            if (s.start) t.start = *s.start;
            else if (firstOfSession && session.start) t.start = *session.start;
            else if (i == 0) t.start = 0;
            else if (firstOfSession) t.start = previousEnd + SessionGap(d.tracks[i - 1].session);
            else t.start = previousEnd + s.pregap;

            const uint32_t sector = s.sectorSize ? s.sectorSize : (s.mode == TrackMode::kAudio ? 2352 : 2048);
            SourceKind source = s.source;
            if (source == SourceKind::kDefault) source = image ? SourceKind::kImage : SourceKind::kZero;
            int32_t length = 0;
            if (source == SourceKind::kFile) {
                if (!FileTrack(s, t, sector, *disc, length)) return false;
            } else if (source == SourceKind::kImage) {
                if (!image) return Fail(s.line, "the track reads from the whole-disc image, but no image is given");
                if (!ImageTrack(d, i, t, *image, length)) return false;
                disc->areas.push_back(Area{t.First(), length + t.pregap, image,
                                           uint64_t(t.First() - d.image->first) * d.image->sectorSize,
                                           d.image->sectorSize});
            } else {
                if (!s.length) return Fail(s.line, "a zero-filled track needs a length");
                length = *s.length;
            }
            if (int64_t(t.start) + length > int64_t(kLastAddress) + 1)
                return Fail(s.line, "the track runs past the last block a disc can address");
            t.end = t.start + length;
            previousEnd = t.end;
            disc->tracks.push_back(t);
        }
        if (d.rescue && !disc->tracks.empty()) ApplyRescueMap(*d.rescue, disc->tracks.back().end, *disc);
        int line = 0;
        std::string problem = FinishDisc(*disc, &line);
        if (!problem.empty()) return Fail(line, problem);
        out.disc = disc;
        out.drive = d.drive;
        return true;
    }

private:
    bool Fail(int line, const std::string& message) {
        error_ = LoadError{path_, line, message};
        return false;
    }

    bool FileTrack(const TrackSpec& s, Track& t, uint32_t sector, Disc& disc, int32_t& length) {
        std::string why;
        auto file = ImageFile::Open(s.file, why);
        if (!file) return Fail(s.line, why);
        if (s.offset > file->Size()) return Fail(s.line, "offset lies beyond the end of '" + s.file + "'");
        const uint64_t bytes = file->Size() - s.offset;
        const uint64_t blocks = bytes / sector;
        if (s.length) {
            if (uint64_t(*s.length) > blocks)
                return Fail(s.line, "'" + s.file + "' is truncated: the track needs " + std::to_string(*s.length) +
                                        " blocks of " + std::to_string(sector) + " bytes, the file holds " +
                                        std::to_string(blocks));
            length = *s.length;
        } else {
            if (bytes % sector != 0)
                return Fail(s.line, "'" + s.file + "' is truncated: its size is not a whole number of " +
                                        std::to_string(sector) + "-byte blocks");
            if (blocks == 0) return Fail(s.line, "'" + s.file + "' holds no blocks");
            if (blocks > uint64_t(kLastAddress)) return Fail(s.line, "'" + s.file + "' is larger than a disc");
            length = int32_t(blocks);
        }
        disc.areas.push_back(Area{t.start, length, file, s.offset, sector});
        return true;
    }

    // A track of the whole-disc image without a length runs up to the next
    // track (less the gap between sessions) or to the end of the image.
    bool ImageTrack(const Description& d, size_t i, const Track& t, const ImageFile& image, int32_t& length) {
        const TrackSpec& s = d.tracks[i];
        const ImageSpec& entry = *d.image;
        if (s.length) {
            length = *s.length;
        } else if (i + 1 < d.tracks.size()) {
            const TrackSpec& next = d.tracks[i + 1];
            const bool nextFirstOfSession = next.session != s.session;
            std::optional<int32_t> nextStart = next.start;
            if (!nextStart && nextFirstOfSession) nextStart = d.sessions[size_t(next.session - 1)].start;
            if (!nextStart)
                return Fail(s.line, "give the track a length, or the next track or session a start block");
            length = nextFirstOfSession ? *nextStart - SessionGap(s.session) - t.start : *nextStart - next.pregap - t.start;
        } else {
            const int64_t imageBlocks = int64_t(image.Size() / entry.sectorSize);
            length = int32_t(std::min<int64_t>(imageBlocks + entry.first - t.start, kLastAddress));
        }
        if (length <= 0) return Fail(s.line, "the track holds no blocks of the image");
        if (t.First() < entry.first) return Fail(s.line, "the track begins before the first block of the image");
        const uint64_t needed = uint64_t(t.start + length - entry.first) * entry.sectorSize;
        if (needed > image.Size())
            return Fail(s.line, "'" + entry.path + "' is truncated: the track needs " + std::to_string(needed) +
                                    " bytes of it, the file holds " + std::to_string(image.Size()));
        return true;
    }

    const std::string& path_;
    LoadError& error_;
};

}  // namespace

bool ParseDescription(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error) {
    Description d;
    Parser parser(path, error);
    if (!parser.Parse(text, d)) return false;
    Builder builder(path, error);
    return builder.Build(d, out);
}

}  // namespace dravik::vdrive
