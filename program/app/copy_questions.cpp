#include "program/app/copy_questions.h"

#include <utility>

namespace dravik::app {

CopyQuestions::CopyQuestions(bool askEachFile, CopyQuestion askCopy, CopyQuestion askOverwrite)
    : askEachFile_(askEachFile), askCopy_(std::move(askCopy)), askOverwrite_(std::move(askOverwrite)) {}

extract::FileDecision CopyQuestions::Decide(const std::string& discPath, bool exists) {
    using extract::FileDecision;
    if (askEachFile_ && !copyAll_ && askCopy_) {
        switch (askCopy_(discPath)) {
            case CopyAnswer::kCancel: return FileDecision::kStop;
            case CopyAnswer::kNo: return FileDecision::kSkip;
            case CopyAnswer::kNoToAll: copyAll_ = false; break;
            case CopyAnswer::kYesToAll: copyAll_ = true; break;
            case CopyAnswer::kYes: break;
        }
    }
    if (copyAll_ == false) return FileDecision::kSkip;
    if (!exists) return FileDecision::kWrite;
    if (!overwriteAll_) {
        // Without anyone to ask, the file that is there stays.
        const CopyAnswer answer = askOverwrite_ ? askOverwrite_(discPath) : CopyAnswer::kNo;
        switch (answer) {
            case CopyAnswer::kCancel: return FileDecision::kStop;
            case CopyAnswer::kYes: return FileDecision::kOverwrite;
            case CopyAnswer::kNo: return FileDecision::kWrite;
            case CopyAnswer::kYesToAll: overwriteAll_ = true; break;
            case CopyAnswer::kNoToAll: overwriteAll_ = false; break;
        }
    }
    // kWrite leaves an existing file in place; the extractor reports it kept.
    return *overwriteAll_ ? FileDecision::kOverwrite : FileDecision::kWrite;
}

}  // namespace dravik::app
