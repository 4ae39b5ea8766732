// The questions a copy in the graphical program asks, turned into the
// extractor's per-file decisions. With "Ask before copying each file"
// (CopyPrompt) every file is asked about; a file whose name exists in the
// folder asks whether to replace it. "All" answers are remembered for the
// rest of the copy, so each question is asked at most once per copy when
// the user wants it so.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "program/extract/extractor.h"

namespace dravik::app {

enum class CopyAnswer { kYes, kYesToAll, kNo, kNoToAll, kCancel };

// Asks the user about the file at `discPath`.
using CopyQuestion = std::function<CopyAnswer(const std::string& discPath)>;

class CopyQuestions {
public:
    // `askCopy` is asked only when `askEachFile`.
    CopyQuestions(bool askEachFile, CopyQuestion askCopy, CopyQuestion askOverwrite);

    // The extractor's listener calls this before each file.
    extract::FileDecision Decide(const std::string& discPath, bool exists);

private:
    bool askEachFile_;
    CopyQuestion askCopy_;
    CopyQuestion askOverwrite_;
    std::optional<bool> copyAll_;       // an "all" answer to the per-file question
    std::optional<bool> overwriteAll_;  // an "all" answer to the replace question
};

}  // namespace dravik::app
