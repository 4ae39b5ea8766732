// Reads a disc image or a disc description into a disc and a drive.
// Chosen by the file's extension: .cue, .ccd, .vdisc, .toc (cdrdao), .chd,
// .nrg (Nero), .mds (Alcohol), .cdi (DiscJuggler);
// anything else is a plain image of 2048-byte blocks (.iso).
#pragma once

#include <string>
#include <string_view>

#include "vdrive/drive_config.h"
#include "vdrive/load_error.h"

namespace dravik::vdrive {

bool LoadImage(const std::string& path, LoadedImage& out, LoadError& error);
// A plain image with a ddrescue mapfile named by the user (instead of the
// one beside it); other kinds of image cannot take a map.
bool LoadImageWithMap(const std::string& path, const std::string& mapPath, LoadedImage& out, LoadError& error);

bool LoadIso(const std::string& path, LoadedImage& out, LoadError& error);
// `mapPath` empty: the mapfile beside the image, when there is one.
bool LoadIso(const std::string& path, const std::string& mapPath, LoadedImage& out, LoadError& error);
bool LoadCue(const std::string& path, LoadedImage& out, LoadError& error);
bool LoadCloneCd(const std::string& path, LoadedImage& out, LoadError& error);
bool LoadDescription(const std::string& path, LoadedImage& out, LoadError& error);
bool LoadToc(const std::string& path, LoadedImage& out, LoadError& error);
bool LoadChd(const std::string& path, LoadedImage& out, LoadError& error);
bool LoadNrg(const std::string& path, LoadedImage& out, LoadError& error);
bool LoadMds(const std::string& path, LoadedImage& out, LoadError& error);
bool LoadCdi(const std::string& path, LoadedImage& out, LoadError& error);

// The text parsers behind the last three, for callers (and fuzz tests) that
// hold the text already; `path` names the file in messages and anchors
// relative paths.
bool ParseCue(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error);
bool ParseCloneCd(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error);
bool ParseDescription(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error);
bool ParseToc(const std::string& path, std::string_view text, LoadedImage& out, LoadError& error);

}  // namespace dravik::vdrive
