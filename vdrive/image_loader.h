// Reads a disc image or a disc description into a disc and a drive.
// Chosen by the file's extension: .iso, .cue, .ccd, .vdisc.
#pragma once

#include <string>
#include <string_view>

#include "vdrive/drive_config.h"
#include "vdrive/load_error.h"

namespace dravik::vdrive {

bool LoadImage(const std::string& path, LoadedImage& out, LoadError& error);

bool LoadIso(const std::string& path, LoadedImage& out, LoadError& error);
bool LoadCue(const std::string& path, LoadedImage& out, LoadError& error);
bool LoadCloneCd(const std::string& path, LoadedImage& out, LoadError& error);
bool LoadDescription(const std::string& path, LoadedImage& out, LoadError& error);

// The text parsers behind the last three, for callers (and fuzz tests) that
// hold the text already; `path` names the file in messages and anchors
// relative paths.
bool ParseCue(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error);
bool ParseCloneCd(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error);
bool ParseDescription(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error);

}  // namespace dravik::vdrive
