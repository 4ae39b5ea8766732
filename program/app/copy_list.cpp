#include "program/app/copy_list.h"

namespace dravik::app {

namespace {

using extract::FileOutcome;

const char* OutcomeWord(FileOutcome outcome) {
    switch (outcome) {
        case FileOutcome::kWritten: return "written";
        case FileOutcome::kDamaged: return "damaged";
        case FileOutcome::kMissing: return "missing";
        case FileOutcome::kFailed: return "failed";
        case FileOutcome::kKept:
        case FileOutcome::kUnsupported:
        case FileOutcome::kSkipped: return "skipped";
    }
    return "";
}

std::string Reason(const extract::FileReport& file) {
    switch (file.outcome) {
        case FileOutcome::kDamaged:
            return "unreadable blocks " + extract::BlockRangesText(file.unreadable) + " (written as zeros)";
        case FileOutcome::kMissing: return "its data is not on the disc";
        case FileOutcome::kKept: return "a file of that name exists and was kept";
        case FileOutcome::kSkipped: return "not copied, as asked";
        case FileOutcome::kUnsupported:
        case FileOutcome::kFailed: return file.error;
        case FileOutcome::kWritten: return {};
    }
    return {};
}

}  // namespace

CopyCounts CountCopyOutcomes(const extract::ExtractSummary& summary) {
    CopyCounts counts;
    counts.written = summary.Count(FileOutcome::kWritten);
    counts.damaged = summary.Count(FileOutcome::kDamaged);
    counts.missing = summary.Count(FileOutcome::kMissing);
    counts.skipped = summary.Count(FileOutcome::kKept) + summary.Count(FileOutcome::kSkipped) +
                     summary.Count(FileOutcome::kUnsupported);
    counts.failed = summary.Count(FileOutcome::kFailed) + static_cast<int>(summary.notFound.size());
    return counts;
}

std::string CopyHeadline(const extract::ExtractSummary& summary) {
    const CopyCounts c = CountCopyOutcomes(summary);
    std::string text = std::to_string(c.written) + " written, " + std::to_string(c.damaged) + " damaged, " +
                       std::to_string(c.missing) + " missing, " + std::to_string(c.skipped) + " skipped, " +
                       std::to_string(c.failed) + " failed";
    if (summary.cancelled) text += ", cancelled";
    return text;
}

std::string CopyListText(const extract::ExtractSummary& summary) {
    std::string text = CopyHeadline(summary) + "\n";
    if (!summary.targetError.empty()) text += "The folder cannot be used: " + summary.targetError + "\n";
    for (const extract::FileReport& file : summary.files) {
        std::string word = OutcomeWord(file.outcome);
        word.resize(9, ' ');
        const std::string& path =
            file.outcome == FileOutcome::kWritten || file.outcome == FileOutcome::kDamaged || file.discPath.empty()
                ? (file.outputPath.empty() ? file.discPath : file.outputPath)
                : file.discPath;
        text += word + path;
        const std::string reason = Reason(file);
        if (!reason.empty()) text += "  " + reason;
        text += '\n';
    }
    for (const std::string& path : summary.notFound) text += "failed   " + path + "  not found\n";
    for (const extract::RenameReport& renamed : summary.renamed)
        text += "renamed  " + renamed.discPath + " -> " + renamed.outputPath + "\n";
    return text;
}

}  // namespace dravik::app
