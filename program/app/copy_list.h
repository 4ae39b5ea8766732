// The outcome of a copy as the summary window shows it and "Save list..."
// writes it: the counts of written, damaged, missing and skipped files, and
// one line per file that was not written whole (and per written file),
// damaged files with their unreadable block ranges.
#pragma once

#include <string>

#include "program/extract/extractor.h"

namespace dravik::app {

struct CopyCounts {
    int written = 0;
    int damaged = 0;
    int missing = 0;
    int skipped = 0;  // kept because they existed, skipped by the user, or of a file system not copied
    int failed = 0;
};
CopyCounts CountCopyOutcomes(const extract::ExtractSummary& summary);

// "3 written, 1 damaged, 0 missing, 2 skipped, 0 failed", and ", cancelled".
std::string CopyHeadline(const extract::ExtractSummary& summary);

// The headline, then one line per reported file:
//   "written  PATH", "damaged  PATH  unreadable blocks 120-121, 140 (written as zeros)",
//   "missing  PATH", "skipped  PATH  REASON", "failed   PATH  ERROR",
// then the renamed files and the target folder's error, if any.
std::string CopyListText(const extract::ExtractSummary& summary);

}  // namespace dravik::app
