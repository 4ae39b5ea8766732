// The text parsers of the virtual drive's image formats: the cue sheet,
// the CloneCD control file and the disc description, chosen at build time
// (one harness each). A parsed disc is then served and queried, so a
// parser that accepts an inconsistent layout is caught by the command
// handlers too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/scratch_files.h"
#include "support/served_disc.h"
#include "vdrive/image_loader.h"

#if !defined(DRAVIK_FUZZ_CUE) && !defined(DRAVIK_FUZZ_CLONECD) && !defined(DRAVIK_FUZZ_DESCRIPTION)
#error "define the parser this harness drives"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dravik;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    vdrive::LoadedImage image;
    vdrive::LoadError error;
#if defined(DRAVIK_FUZZ_CUE)
    static const std::string path = fuzz::ScratchPath("disc.cue");
    const bool parsed = vdrive::ParseCue(path, text, image, error);
#elif defined(DRAVIK_FUZZ_CLONECD)
    static const std::string path = fuzz::ScratchPath("disc.ccd");
    const bool parsed = vdrive::ParseCloneCd(path, text, image, error);
#else
    static const std::string path = fuzz::ScratchPath("disc.vdisc");
    const bool parsed = vdrive::ParseDescription(path, text, image, error);
#endif
    if (parsed) fuzz::QueryServedDisc(std::move(image));
    else (void)error.Text();
    return 0;
}
