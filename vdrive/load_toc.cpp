// cdrdao table-of-contents files (.toc with their data files): one
// session of tracks, each built from pieces of files and runs of zeros:
//
//   CD_ROM                         the disc type (CD_DA, CD_ROM, CD_ROM_XA)
//   TRACK MODE1 [RW | RW_RAW]      a track; with sub-channel data every
//                                  block in the file is 96 bytes longer
//   DATAFILE "disc.bin" [#offset] [length]
//   FILE "audio.bin" [#offset] start [length]     (also AUDIOFILE)
//   ZERO [mode] length / SILENCE length
//   START [mm:ss:ff] / PREGAP mm:ss:ff            index 0 to index 1
//   INDEX mm:ss:ff, COPY, PRE_EMPHASIS, FOUR_CHANNEL_AUDIO, ISRC, CD_TEXT {...}
//
// Lengths are mm:ss:ff (blocks) or a number: samples (4 bytes) in audio
// tracks, bytes in data tracks. Block sizes in the files follow the mode:
// AUDIO, MODE1_RAW and MODE2_RAW 2352; MODE1 and MODE2_FORM1 2048; MODE2
// and MODE2_FORM_MIX 2336. MODE2_FORM2 (2324-byte data without its
// sub-header) and FIFO sources are refused. Block 0 is the first track's
// index 1; the first track's pre-gap, if the file gives one, lies before it.
//
// Limits: the file as for the other text formats, at most kMaxTokens
// words, kMaxPieces pieces of a track.
#include <optional>

#include "vdrive/image_loader.h"
#include "vdrive/sector_codec.h"
#include "vdrive/text_lines.h"

namespace dravik::vdrive {

namespace {

constexpr size_t kMaxTokens = 200000;
constexpr size_t kMaxPieces = 1000;
constexpr size_t kMaxDataFiles = 99;

struct TocToken {
    std::string text;
    int line = 0;
    bool quoted = false;
};

struct TocPiece {
    std::shared_ptr<ImageFile> file;  // null: zeros
    uint64_t offset = 0;
    int32_t blocks = 0;
};

struct TocTrack {
    int line = 0;
    TrackMode mode = TrackMode::kMode1;
    uint32_t sectorSize = 2048;
    uint32_t stride = 2048;
    uint8_t flags = 0;
    std::optional<int32_t> start;  // blocks of pre-gap before index 1
    std::vector<TocPiece> pieces;
    int64_t blocks = 0;
};

class TocReader {
public:
    TocReader(const std::string& path, LoadError& error) : path_(path), error_(error) {}

    bool Read(std::string_view text, LoadedImage& out) {
        if (!Tokenize(text)) return false;
        while (at_ < tokens_.size()) {
            if (!Statement()) return false;
        }
        if (tracks_.empty()) return Fail(0, "the file lists no tracks (no TRACK statement)");
        return Build(out);
    }

private:
    bool Fail(int line, const std::string& message) {
        error_ = LoadError{path_, line, message};
        return false;
    }

    // Words, "quoted strings" (backslash escapes kept simple) and braces;
    // "//" starts a comment to the end of the line.
    bool Tokenize(std::string_view text) {
        if (text.find('\0') != std::string_view::npos) return Fail(0, "not a text file (it holds NUL bytes)");
        int line = 1;
        size_t i = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (c == '\n') {
                ++line, ++i;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r') {
                ++i;
                continue;
            }
            if (tokens_.size() >= kMaxTokens) return Fail(line, "too many words");
            if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
                while (i < text.size() && text[i] != '\n') ++i;
                continue;
            }
            TocToken t;
            t.line = line;
            if (c == '"') {
                t.quoted = true;
                ++i;
                while (true) {
                    if (i >= text.size() || text[i] == '\n') return Fail(line, "a quoted text is not closed");
                    if (text[i] == '"') break;
                    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] != '\n') ++i;
                    if (t.text.size() >= kMaxLineLength) return Fail(line, "a quoted text is too long");
                    t.text += text[i++];
                }
                ++i;
            } else if (c == '{' || c == '}' || c == ',') {
                t.text = std::string(1, c);
                ++i;
            } else {
                while (i < text.size() && std::string_view(" \t\r\n\"{},").find(text[i]) == std::string_view::npos) {
                    if (t.text.size() >= kMaxLineLength) return Fail(line, "a word is too long");
                    t.text += text[i++];
                }
            }
            tokens_.push_back(std::move(t));
        }
        return true;
    }

    const TocToken* Peek() const { return at_ < tokens_.size() ? &tokens_[at_] : nullptr; }
    bool PeekIs(const char* word) const { return Peek() && !Peek()->quoted && Upper(Peek()->text) == word; }
    int Line() const { return at_ < tokens_.size() ? tokens_[at_].line : (tokens_.empty() ? 0 : tokens_.back().line); }

    bool Next(TocToken& t, const char* what) {
        if (at_ >= tokens_.size()) return Fail(Line(), "the file ends where " + std::string(what) + " should follow");
        t = tokens_[at_++];
        return true;
    }

    // Skips a { ... } block (CD-TEXT), nested blocks included.
    bool SkipBlock() {
        const int line = Line();
        if (!PeekIs("{")) return Fail(line, "CD_TEXT must be followed by '{'");
        int depth = 0;
        do {
            const TocToken& t = tokens_[at_++];
            if (!t.quoted && t.text == "{") ++depth;
            if (!t.quoted && t.text == "}") --depth;
        } while (depth > 0 && at_ < tokens_.size());
        if (depth > 0) return Fail(line, "a '{' block is not closed");
        return true;
    }

    bool IsMsf(const TocToken& t) const { return !t.quoted && t.text.find(':') != std::string::npos; }

    // A length or position: mm:ss:ff in blocks, else samples (audio) or
    // bytes (data) — returned as bytes of the track's file blocks when
    // `bytes` is set, as blocks otherwise (rounded up).
    bool Amount(const TocToken& t, const TocTrack& track, uint64_t& bytes) {
        int32_t frames = 0;
        if (IsMsf(t)) {
            if (!ParseMsfText(t.text, frames)) return Fail(t.line, "bad time '" + t.text + "' (mm:ss:ff)");
            bytes = uint64_t(frames) * track.stride;
            return true;
        }
        int64_t n = 0;
        if (t.quoted || !ParseNumber(t.text, 0, int64_t(1) << 40, n)) return Fail(t.line, "bad length '" + t.text + "'");
        // Samples of 16-bit stereo audio are 4 bytes; sub-channel data
        // comes on top of each block's 2352 bytes.
        bytes = track.mode == TrackMode::kAudio ? uint64_t(n) * 4 / 2352 * track.stride + uint64_t(n) * 4 % 2352
                                                : uint64_t(n) / track.sectorSize * track.stride + uint64_t(n) % track.sectorSize;
        return true;
    }

    bool Blocks(const TocToken& t, const TocTrack& track, int32_t& blocks) {
        uint64_t bytes = 0;
        if (!Amount(t, track, bytes)) return false;
        const uint64_t n = (bytes + track.stride - 1) / track.stride;
        if (n > uint64_t(kLastAddress)) return Fail(t.line, "the length is larger than a disc");
        blocks = int32_t(n);
        return true;
    }

    bool AddPiece(TocTrack& t, TocPiece p, int line) {
        if (t.pieces.size() >= kMaxPieces) return Fail(line, "too many pieces in one track");
        t.blocks += p.blocks;
        if (t.blocks > kLastAddress) return Fail(line, "the track is larger than a disc");
        t.pieces.push_back(std::move(p));
        return true;
    }

    bool OpenFile(const TocToken& name, std::shared_ptr<ImageFile>& file) {
        if (!name.quoted) return Fail(name.line, "a file name must be in double quotes");
        const std::string resolved = ResolveBeside(path_, name.text);
        if (auto known = files_.find(resolved); known != files_.end()) {
            file = known->second;
            return true;
        }
        if (files_.size() >= kMaxDataFiles) return Fail(name.line, "too many data files");
        std::string why;
        file = ImageFile::Open(resolved, why);
        if (!file) return Fail(name.line, why);
        files_[resolved] = file;
        return true;
    }

    // FILE/AUDIOFILE "name" [#offset] start [length] and DATAFILE "name" [#offset] [length].
    bool FilePiece(TocTrack& track, bool audioFile, int line) {
        TocToken name, t;
        if (!Next(name, "a file name")) return false;
        std::shared_ptr<ImageFile> file;
        if (!OpenFile(name, file)) return false;
        uint64_t offset = 0;
        if (Peek() && !Peek()->quoted && Peek()->text.size() > 1 && Peek()->text[0] == '#') {
            int64_t n = 0;
            if (!ParseNumber(std::string_view(Peek()->text).substr(1), 0, int64_t(1) << 40, n))
                return Fail(Line(), "bad byte offset '" + Peek()->text + "'");
            offset = uint64_t(n);
            ++at_;
        }
        if (audioFile) {
            if (!Next(t, "a start position")) return false;
            uint64_t start = 0;
            if (!Amount(t, track, start)) return false;
            offset += start;
        }
        uint64_t length = 0;
        const bool hasLength = Peek() && !Peek()->quoted && (IsMsf(*Peek()) || std::isdigit(uint8_t(Peek()->text[0])));
        if (hasLength) {
            if (!Next(t, "a length") || !Amount(t, track, length)) return false;
        }
        if (offset > file->Size()) return Fail(line, "'" + file->Path() + "' ends before the data it should give");
        if (!hasLength || length == 0) length = file->Size() - offset;
        if (length > file->Size() - offset)
            return Fail(line, "'" + file->Path() + "' is truncated: " + std::to_string(offset + length) +
                                  " bytes are needed, the file holds " + std::to_string(file->Size()));
        const uint64_t whole = length / track.stride;
        if (whole > uint64_t(kLastAddress)) return Fail(line, "the data is larger than a disc");
        if (whole > 0 && !AddPiece(track, TocPiece{file, offset, int32_t(whole)}, line)) return false;
        // A last block the file holds only in part is padded with zeros;
        // its bytes are not kept.
        if (length % track.stride != 0 && !AddPiece(track, TocPiece{nullptr, 0, 1}, line)) return false;
        return true;
    }

    bool TrackStatement(int line) {
        TocToken mode;
        if (!Next(mode, "a track mode")) return false;
        if (tracks_.size() >= size_t(kMaxTracks)) return Fail(line, "more than 99 tracks");
        TocTrack t;
        t.line = line;
        const std::string m = Upper(mode.text);
        if (m == "AUDIO") t.mode = TrackMode::kAudio, t.sectorSize = 2352;
        else if (m == "MODE1") t.mode = TrackMode::kMode1, t.sectorSize = 2048;
        else if (m == "MODE1_RAW") t.mode = TrackMode::kMode1, t.sectorSize = 2352;
        else if (m == "MODE2" || m == "MODE2_FORM_MIX") t.mode = TrackMode::kMode2, t.sectorSize = 2336;
        else if (m == "MODE2_FORM1") t.mode = TrackMode::kMode2, t.sectorSize = 2048;
        else if (m == "MODE2_RAW") t.mode = TrackMode::kMode2, t.sectorSize = 2352;
        else if (m == "MODE2_FORM2")
            return Fail(mode.line, "MODE2_FORM2 tracks (2324 bytes a block, no sub-header) are not supported");
        else return Fail(mode.line, "unknown track mode '" + mode.text + "'");
        t.stride = t.sectorSize;
        if (PeekIs("RW") || PeekIs("RW_RAW")) {
            t.stride += uint32_t(kSubChannelSize);  // sub-channel data after each block, not used
            ++at_;
        }
        tracks_.push_back(std::move(t));
        return true;
    }

    bool Statement() {
        TocToken w;
        if (!Next(w, "a statement")) return false;
        const int line = w.line;
        const std::string key = w.quoted ? std::string() : Upper(w.text);
        if (key == "CD_DA" || key == "CD_ROM" || key == "CD_ROM_XA" || key == "CD_I") return true;
        if (key == "CD_TEXT") return SkipBlock();
        if (key == "CATALOG" || key == "ISRC") return Next(w, "a code");
        if (key == "TRACK") return TrackStatement(line);
        if (tracks_.empty()) return Fail(line, "'" + w.text + "' before the first TRACK");
        TocTrack& t = tracks_.back();
        if (key == "NO") {
            if (!Next(w, "COPY or PRE_EMPHASIS")) return false;
            const std::string what = Upper(w.text);
            if (what == "COPY") t.flags &= uint8_t(~0x2);
            else if (what == "PRE_EMPHASIS") t.flags &= uint8_t(~0x1);
            else return Fail(line, "NO must be followed by COPY or PRE_EMPHASIS");
            return true;
        }
        if (key == "COPY") return t.flags |= 0x2, true;
        if (key == "PRE_EMPHASIS") return t.flags |= 0x1, true;
        if (key == "TWO_CHANNEL_AUDIO") return t.flags &= uint8_t(~0x8), true;
        if (key == "FOUR_CHANNEL_AUDIO") return t.flags |= 0x8, true;
        if (key == "SILENCE" || key == "ZERO") {
            // ZERO may name the data mode of the zeros: it is the track's.
            if (key == "ZERO" && Peek() && !IsMsf(*Peek()) && !std::isdigit(uint8_t(Peek()->text[0]))) ++at_;
            if (key == "ZERO" && Peek() && !IsMsf(*Peek()) && !std::isdigit(uint8_t(Peek()->text[0]))) ++at_;
            int32_t blocks = 0;
            if (!Next(w, "a length") || !Blocks(w, t, blocks)) return false;
            return AddPiece(t, TocPiece{nullptr, 0, blocks}, line);
        }
        if (key == "FILE" || key == "AUDIOFILE") return FilePiece(t, true, line);
        if (key == "DATAFILE") return FilePiece(t, false, line);
        if (key == "FIFO") return Fail(line, "FIFO sources cannot be read from an image");
        if (key == "START" || key == "PREGAP") {
            if (t.start) return Fail(line, "the track already has a pre-gap");
            if (key == "PREGAP" || (Peek() && IsMsf(*Peek()))) {
                int32_t blocks = 0;
                if (!Next(w, "a time")) return false;
                if (!ParseMsfText(w.text, blocks)) return Fail(line, "bad time '" + w.text + "' (mm:ss:ff)");
                if (key == "PREGAP") {
                    if (!t.pieces.empty()) return Fail(line, "PREGAP must come before the track's data");
                    if (!AddPiece(t, TocPiece{nullptr, 0, blocks}, line)) return false;
                }
                t.start = blocks;
            } else {
                t.start = int32_t(t.blocks);
            }
            if (*t.start > t.blocks) return Fail(line, "the pre-gap is longer than the data before it");
            return true;
        }
        if (key == "INDEX") {
            int32_t ignored = 0;
            if (!Next(w, "a time")) return false;
            if (!ParseMsfText(w.text, ignored)) return Fail(line, "bad time '" + w.text + "' (mm:ss:ff)");
            return true;  // index points above 1 are not served
        }
        return Fail(line, "unknown statement '" + w.text + "'");
    }

    bool Build(LoadedImage& out) {
        auto disc = std::make_shared<Disc>();
        disc->medium = Medium::kCdRom;
        disc->sourcePath = path_;
        // The first track's index 1 is block 0.
        int32_t cursor = -tracks_.front().start.value_or(0);
        int number = 1;
        for (const TocTrack& c : tracks_) {
            const int32_t pregap = c.start.value_or(0);
            if (c.blocks - pregap < 1) return Fail(c.line, "track " + std::to_string(number) + " holds no blocks");
            if (int64_t(cursor) + c.blocks > kLastAddress) return Fail(c.line, "the tracks are longer than a disc");
            Track t;
            t.line = c.line;
            t.number = number++;
            t.mode = c.mode;
            t.control = uint8_t((c.mode == TrackMode::kAudio ? 0x0 : 0x4) | c.flags);
            t.pregap = pregap;
            t.start = cursor + pregap;
            t.end = cursor + int32_t(c.blocks);
            for (const TocPiece& p : c.pieces) {
                if (p.file) disc->areas.push_back(Area{cursor, p.blocks, p.file, p.offset, c.sectorSize, c.stride});
                cursor += p.blocks;
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
    std::vector<TocToken> tokens_;
    size_t at_ = 0;
    std::vector<TocTrack> tracks_;
    std::map<std::string, std::shared_ptr<ImageFile>> files_;
};

}  // namespace

bool ParseToc(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error) {
    error = LoadError{};
    TocReader reader(path, error);
    return reader.Read(text, out);
}

bool LoadToc(const std::string& path, LoadedImage& out, LoadError& error) {
    std::string text;
    return ReadTextFile(path, text, error) && ParseToc(path, text, out, error);
}

}  // namespace dravik::vdrive
