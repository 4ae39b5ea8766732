#include "support/cdi_writer.h"

namespace dravik::test {

namespace {

void Put(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i));
}

void Zeros(std::string& out, size_t n) { out.append(n, '\0'); }

constexpr uint32_t kStrides[] = {2048, 2336, 2352, 2368, 2448};

// The block that opens every track: the start mark, the image's name and
// the disc's capacity. Version 3.5 images write the 4.x capacity form.
void TrackHeader(std::string& out, CdiVersion version) {
    Put(out, 0, 4);
    for (int i = 0; i < 2; ++i) out += std::string("\0\0\1\0\0\0\xFF\xFF\xFF\xFF", 10);
    Zeros(out, 4);
    out += char(8);
    out += "disc.cdi";
    Zeros(out, 11);
    Put(out, 2, 4);
    Zeros(out, 4);
    if (version == CdiVersion::k35) Put(out, 0x80000000u, 4);
    Put(out, 360000, 4);
    if (version == CdiVersion::k35) Put(out, 0x980000, 4);
}

}  // namespace

std::string WriteCdi(const std::vector<CdiTrackSpec>& tracks, CdiVersion version) {
    std::string image;
    for (const CdiTrackSpec& t : tracks) image += t.data;
    const uint64_t descriptorAt = image.size();
    const int lastSession = tracks.empty() ? 0 : tracks.back().session;
    Put(image, uint32_t(lastSession), 2);
    for (int session = 1; session <= lastSession; ++session) {
        std::vector<const CdiTrackSpec*> in;
        for (const CdiTrackSpec& t : tracks)
            if (t.session == session) in.push_back(&t);
        Put(image, in.size(), 2);
        for (size_t i = 0; i < in.size(); ++i) {
            const CdiTrackSpec& t = *in[i];
            const uint32_t total = uint32_t(t.data.size() / kStrides[t.readMode]);
            TrackHeader(image, version);
            Put(image, 2, 2);  // two index lengths: the pre-gap and the rest
            Put(image, uint32_t(t.pregap), 4);
            Put(image, total - uint32_t(t.pregap), 4);
            Zeros(image, 6);  // no CD-TEXT
            Put(image, t.mode, 4);
            Put(image, 0, 4);
            Put(image, uint32_t(session - 1), 4);
            Put(image, i, 4);
            Put(image, uint32_t(t.lba), 4);
            Put(image, total, 4);
            Zeros(image, 16);
            Put(image, t.readMode, 4);
            Put(image, t.mode == 0 ? 0 : 4, 4);
            Zeros(image, 1);
            Put(image, total, 4);
            Zeros(image, 20);
            // Version 3 writes nine zeros; 3.5 the later form, with 78 more bytes.
            if (version == CdiVersion::k3) Zeros(image, 9);
            if (version == CdiVersion::k35) image += std::string("\0\0\0\0\0\xFF\xFF\xFF\xFF", 9) + std::string(78, '\0');
        }
        // The session trailer: its type, and where it begins.
        Put(image, in.empty() || in.front()->mode == 0 ? 0 : 1, 4);
        Zeros(image, 4);
        Put(image, in.empty() ? 0 : uint32_t(in.front()->lba - in.front()->pregap), 4);
        if (version != CdiVersion::k2) Zeros(image, 1);
    }
    Put(image, 0, 2);  // the empty session after the last
    // The disc block: its end, the volume name, and fields left zero.
    if (version != CdiVersion::k2) TrackHeader(image, version);
    const CdiTrackSpec* last = tracks.empty() ? nullptr : &tracks.back();
    Put(image, last ? uint32_t(last->lba + int32_t(last->data.size() / kStrides[last->readMode]) - last->pregap) : 0, 4);
    image += char(4);
    image += "DISC";
    if (version != CdiVersion::k2) Zeros(image, 1);
    Put(image, 1, 4);
    Put(image, 1, 4);
    Zeros(image, 29);
    Put(image, version == CdiVersion::k2 ? 0x80000004u : version == CdiVersion::k3 ? 0x80000005u : 0x80000006u, 4);
    Put(image, version == CdiVersion::k35 ? image.size() + 4 - descriptorAt : descriptorAt, 4);
    return image;
}

}  // namespace dravik::test
