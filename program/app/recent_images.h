// The disc images the user opened, kept for the next start: the most
// recent first, at most kMaxRecentImages, in the user's settings (values
// "RecentImage1" to "RecentImage8"). At start they are served as virtual
// drives again, so the drive used last can be one of them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dravik::app {

constexpr std::size_t kMaxRecentImages = 8;
constexpr char kRecentImageValuePrefix[] = "RecentImage";
// The image the drive used last holds: its letter may differ at the next
// start, so the start looks the image up by path.
constexpr char kLastImageValue[] = "LastImage";

// `list` with `path` first (moved there when listed), cut to `limit`;
// empty paths are dropped.
std::vector<std::string> WithImageFirst(std::vector<std::string> list, const std::string& path,
                                        std::size_t limit = kMaxRecentImages);

std::vector<std::string> RecentImages();
void StoreRecentImages(const std::vector<std::string>& images);
// Puts `path` first in the stored list and notes it as the image used last.
void RememberImage(const std::string& path);

// Serves every stored image that still exists as a virtual drive, in the
// stored order, and points "LastDevice" at the drive of the image used
// last. Call before SelectDeviceAtStart.
void ServeRecentImages();

}  // namespace dravik::app
