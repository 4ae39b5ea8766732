// Files the image parsers may name: a private folder holding a small
// image file under each name the seeds and dictionaries use (disc.bin,
// disc.img, disc.sub, disc.iso, track01.bin ...), so that inputs that get
// past their FILE lines reach the layout code behind them.
#pragma once

#include <string>
#include <string_view>

namespace dravik::fuzz {

// The folder (made once per process, removed at exit).
const std::string& ScratchFolder();
// A path inside it, e.g. ScratchPath("disc.cue").
std::string ScratchPath(std::string_view name);

}  // namespace dravik::fuzz
