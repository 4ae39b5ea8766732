#include "vdrive/image_loader.h"

#include "vdrive/text_lines.h"

namespace dravik::vdrive {

namespace {
bool EndsWith(const std::string& s, const char* suffix) {
    const std::string upper = Upper(s), end = Upper(suffix);
    return upper.size() >= end.size() && upper.compare(upper.size() - end.size(), end.size(), end) == 0;
}
// The extensions of the image kinds that are not plain images.
constexpr const char* kStructuredKinds[] = {".cue", ".ccd", ".vdisc", ".toc", ".chd", ".nrg", ".mds", ".cdi"};
}  // namespace

bool LoadImage(const std::string& path, LoadedImage& out, LoadError& error) {
    if (EndsWith(path, ".cue")) return LoadCue(path, out, error);
    if (EndsWith(path, ".ccd")) return LoadCloneCd(path, out, error);
    if (EndsWith(path, ".vdisc")) return LoadDescription(path, out, error);
    if (EndsWith(path, ".toc")) return LoadToc(path, out, error);
    if (EndsWith(path, ".chd")) return LoadChd(path, out, error);
    if (EndsWith(path, ".nrg")) return LoadNrg(path, out, error);
    if (EndsWith(path, ".mds")) return LoadMds(path, out, error);
    if (EndsWith(path, ".cdi")) return LoadCdi(path, out, error);
    // Anything else is taken as a plain image of 2048-byte blocks.
    return LoadIso(path, out, error);
}

bool LoadImageWithMap(const std::string& path, const std::string& mapPath, LoadedImage& out, LoadError& error) {
    if (mapPath.empty()) return LoadImage(path, out, error);
    for (const char* structured : kStructuredKinds)
        if (EndsWith(path, structured)) {
            error = LoadError{path, 0, "a ddrescue map goes with a plain image of 2048-byte blocks, not with this kind of image"};
            return false;
        }
    return LoadIso(path, mapPath, out, error);
}

bool LoadCue(const std::string& path, LoadedImage& out, LoadError& error) {
    std::string text;
    return ReadTextFile(path, text, error) && ParseCue(path, text, out, error);
}

bool LoadCloneCd(const std::string& path, LoadedImage& out, LoadError& error) {
    std::string text;
    return ReadTextFile(path, text, error) && ParseCloneCd(path, text, out, error);
}

bool LoadDescription(const std::string& path, LoadedImage& out, LoadError& error) {
    std::string text;
    return ReadTextFile(path, text, error) && ParseDescription(path, text, out, error);
}

}  // namespace dravik::vdrive
