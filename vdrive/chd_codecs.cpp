#include "vdrive/chd_codecs.h"

#include <dlfcn.h>
#include <lzma.h>
#include <zlib.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace dravik::vdrive::chd {

namespace {

// A system library opened once for the life of the process, with the
// entry points looked up by name.
class Library {
public:
    explicit Library(const char* name) : name_(name) {}
    // Null when the library or the entry point is missing.
    void* Symbol(const char* symbol) {
        std::call_once(opened_, [this] { handle_ = ::dlopen(name_, RTLD_NOW | RTLD_LOCAL); });
        return handle_ ? ::dlsym(handle_, symbol) : nullptr;
    }
    const char* Name() const { return name_; }

private:
    const char* name_;
    std::once_flag opened_;
    void* handle_ = nullptr;
};

Library& Zlib() {
    static Library library("libz.so.1");
    return library;
}
Library& Lzma() {
    static Library library("liblzma.so.5");
    return library;
}
Library& Flac() {
    static Library library("libFLAC.so.12");
    return library;
}

template <typename Function>
bool Find(Library& library, const char* symbol, Function& out, std::string& why) {
    out = reinterpret_cast<Function>(library.Symbol(symbol));
    if (!out) why = std::string("the system library ") + library.Name() + " (or its " + symbol + ") is not available";
    return out != nullptr;
}

// The part of libFLAC's stream decoder interface used here; the library's
// headers are not needed to build.
struct FlacFrameHeader {
    uint32_t blocksize, sampleRate, channels;  // the first fields of FLAC__FrameHeader
};
using FlacRead = int (*)(const void*, uint8_t*, size_t*, void*);
using FlacTell = int (*)(const void*, uint64_t*, void*);
using FlacWrite = int (*)(const void*, const FlacFrameHeader*, const int32_t* const[], void*);
using FlacMetadata = void (*)(const void*, const void*, void*);
using FlacError = void (*)(const void*, int, void*);
constexpr int kFlacReadContinue = 0, kFlacReadEnd = 1;
constexpr int kFlacWriteContinue = 0, kFlacWriteAbort = 1;

struct FlacSink {
    const uint8_t* in;
    size_t inLength;
    size_t position = 0;  // in header + in
    uint8_t header[42];
    uint8_t* out;
    size_t outLength, written = 0;
    bool failed = false;
};

int FlacReadBytes(const void*, uint8_t* buffer, size_t* bytes, void* client) {
    auto& s = *static_cast<FlacSink*>(client);
    const size_t total = sizeof s.header + s.inLength;
    if (s.position >= total) {
        *bytes = 0;
        return kFlacReadEnd;
    }
    size_t n = 0;
    while (n < *bytes && s.position < total) {
        buffer[n++] = s.position < sizeof s.header ? s.header[s.position] : s.in[s.position - sizeof s.header];
        ++s.position;
    }
    *bytes = n;
    return kFlacReadContinue;
}

int FlacTellPosition(const void*, uint64_t* offset, void* client) {
    *offset = static_cast<FlacSink*>(client)->position;
    return 0;
}

int FlacWriteSamples(const void*, const FlacFrameHeader* frame, const int32_t* const channels[], void* client) {
    auto& s = *static_cast<FlacSink*>(client);
    if (frame->channels != 2) {
        s.failed = true;
        return kFlacWriteAbort;
    }
    for (uint32_t i = 0; i < frame->blocksize && s.written + 4 <= s.outLength; ++i)
        for (int c = 0; c < 2; ++c) {
            const auto sample = uint16_t(channels[c][i]);
            s.out[s.written++] = uint8_t(sample >> 8);
            s.out[s.written++] = uint8_t(sample);
        }
    return kFlacWriteContinue;
}

void FlacIgnoreMetadata(const void*, const void*, void*) {}
void FlacNoteError(const void*, int, void* client) { static_cast<FlacSink*>(client)->failed = true; }

}  // namespace

bool Inflate(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength, std::string& why) {
    decltype(&::inflateInit2_) init = nullptr;
    decltype(&::inflate) inflate = nullptr;
    decltype(&::inflateEnd) end = nullptr;
    if (!Find(Zlib(), "inflateInit2_", init, why) || !Find(Zlib(), "inflate", inflate, why) ||
        !Find(Zlib(), "inflateEnd", end, why))
        return false;
    z_stream stream{};
    if (init(&stream, -MAX_WBITS, ZLIB_VERSION, int(sizeof stream)) != Z_OK) {
        why = "zlib could not start";
        return false;
    }
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = uInt(inLength);
    stream.next_out = out;
    stream.avail_out = uInt(outLength);
    const int status = inflate(&stream, Z_FINISH);
    const bool whole = (status == Z_STREAM_END || status == Z_OK || status == Z_BUF_ERROR) && stream.avail_out == 0;
    end(&stream);
    if (!whole) why = "a deflate stream is damaged";
    return whole;
}

bool UnpackLzma(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength, std::string& why) {
    decltype(&::lzma_raw_decoder) start = nullptr;
    decltype(&::lzma_code) code = nullptr;
    decltype(&::lzma_end) end = nullptr;
    if (!Find(Lzma(), "lzma_raw_decoder", start, why) || !Find(Lzma(), "lzma_code", code, why) ||
        !Find(Lzma(), "lzma_end", end, why))
        return false;
    lzma_options_lzma options{};
    options.dict_size = 1u << 20;  // far more than one hunk: every distance fits
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    if (start(&stream, filters) != LZMA_OK) {
        why = "liblzma could not start";
        return false;
    }
    stream.next_in = in;
    stream.avail_in = inLength;
    stream.next_out = out;
    stream.avail_out = outLength;
    lzma_ret status = LZMA_OK;
    while (stream.avail_out > 0 && status == LZMA_OK) {
        const size_t before = stream.avail_in + stream.avail_out;
        status = code(&stream, LZMA_RUN);
        if (stream.avail_in + stream.avail_out == before) break;  // no progress: the input ran out
    }
    const bool whole = stream.avail_out == 0 && (status == LZMA_OK || status == LZMA_STREAM_END);
    end(&stream);
    if (!whole) why = "an LZMA stream is damaged";
    return whole;
}

bool UnpackFlac(const uint8_t* in, size_t inLength, uint32_t blockSize, uint8_t* out, size_t outLength,
                size_t& consumed, std::string& why) {
    using New = void* (*)();
    using Init = int (*)(void*, FlacRead, void*, FlacTell, void*, void*, FlacWrite, FlacMetadata, FlacError, void*);
    using Step = int (*)(void*);
    using Position = int (*)(const void*, uint64_t*);
    New create = nullptr;
    Init init = nullptr;
    Step single = nullptr, finish = nullptr;
    Position position = nullptr;
    void (*destroy)(void*) = nullptr;
    if (!Find(Flac(), "FLAC__stream_decoder_new", create, why) ||
        !Find(Flac(), "FLAC__stream_decoder_init_stream", init, why) ||
        !Find(Flac(), "FLAC__stream_decoder_process_single", single, why) ||
        !Find(Flac(), "FLAC__stream_decoder_finish", finish, why) ||
        !Find(Flac(), "FLAC__stream_decoder_get_decode_position", position, why) ||
        !Find(Flac(), "FLAC__stream_decoder_delete", destroy, why))
        return false;
    if (blockSize < 16 || blockSize > 65535) {
        why = "a FLAC block size is out of range";
        return false;
    }
    FlacSink sink{in, inLength, 0, {}, out, outLength};
    // The stream header the frames lack: "fLaC" and a last STREAMINFO
    // block of 34 bytes (block sizes, 44100 Hz, 2 channels, 16 bits).
    uint8_t* h = sink.header;
    std::memcpy(h, "fLaC", 4);
    h[4] = 0x80, h[5] = 0, h[6] = 0, h[7] = 34;
    std::memset(h + 8, 0, 34);
    h[8] = uint8_t(blockSize >> 8), h[9] = uint8_t(blockSize), h[10] = uint8_t(blockSize >> 8), h[11] = uint8_t(blockSize);
    const uint32_t rate = 44100;
    h[18] = uint8_t(rate >> 12), h[19] = uint8_t(rate >> 4);
    h[20] = uint8_t((rate & 0xF) << 4 | (2 - 1) << 1 | ((16 - 1) >> 4));
    h[21] = uint8_t(((16 - 1) & 0xF) << 4);
    void* decoder = create();
    if (!decoder) {
        why = "libFLAC could not start";
        return false;
    }
    bool ok = init(decoder, FlacReadBytes, nullptr, FlacTellPosition, nullptr, nullptr, FlacWriteSamples,
                   FlacIgnoreMetadata, FlacNoteError, &sink) == 0;
    // A step may decode only the header; a few steps in a row without
    // samples once all input is read mean the stream has ended.
    int idle = 0;
    for (int steps = 0; ok && sink.written < outLength && !sink.failed && steps < 100000 && idle < 4; ++steps) {
        const size_t before = sink.written;
        if (!single(decoder)) ok = false;
        idle = sink.written == before && sink.position >= sizeof sink.header + inLength ? idle + 1 : 0;
    }
    uint64_t at = 0;
    ok = ok && !sink.failed && sink.written == outLength && position(decoder, &at) && at >= sizeof sink.header &&
         at - sizeof sink.header <= inLength;
    if (ok) consumed = size_t(at - sizeof sink.header);
    finish(decoder);
    destroy(decoder);
    if (!ok) why = "a FLAC stream is damaged";
    return ok;
}

}  // namespace dravik::vdrive::chd
