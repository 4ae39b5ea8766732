#include "program/port/message_dialog.h"

#include <algorithm>

namespace dravik::port {

std::vector<std::string> SplitLabels(const std::string& labels, std::size_t count) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (parts.size() < count) {
        if (start > labels.size()) {
            parts.emplace_back();
            continue;
        }
        std::size_t end = labels.find(';', start);
        if (end == std::string::npos) end = labels.size();
        parts.push_back(labels.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

MessageDialog::MessageDialog(std::string caption, std::string text, unsigned flags, const std::string& yesNoLabels,
                             const std::string& threeWayLabels, SteadyClock clock)
    : caption_(std::move(caption)), text_(std::move(text)), flags_(flags), kind_(flags & kMessageKindMask),
      clock_(clock ? std::move(clock) : SteadyClock([] { return std::chrono::steady_clock::now(); })) {
    if (kind_ != kMessageKindOkCancel && kind_ != kMessageKindYesNoCancel && kind_ != kMessageKindYesNo)
        kind_ = kMessageKindOk;
    shownAt_ = clock_();
    switch (kind_) {
        case kMessageKindOkCancel:
            buttons_ = {{kButtonOk, ""}, {kButtonCancel, ""}};
            if (flags_ & kMessageSecondDefault) defaultButton_ = kButtonCancel;
            break;
        case kMessageKindYesNo: {
            auto labels = SplitLabels(yesNoLabels, 2);
            buttons_ = {{kButtonOk, labels[0]}, {kButtonCancel, labels[1]}};
            if (flags_ & kMessageSecondDefault) defaultButton_ = kButtonCancel;
            break;
        }
        case kMessageKindYesNoCancel: {
            auto labels = SplitLabels(threeWayLabels, 3);
            buttons_ = {{kButtonOk, labels[0]}, {kButtonNo, labels[1]}, {kButtonCancel, labels[2]}};
            if (flags_ & kMessageSecondDefault)
                defaultButton_ = kButtonNo;
            else if (flags_ & kMessageCancelDefault)
                defaultButton_ = kButtonCancel;
            break;
        }
        default:
            buttons_ = {{kButtonOk, ""}};
            break;
    }
}

MessageIcon MessageDialog::Icon() const {
    return kind_ == kMessageKindOk ? MessageIcon::Exclamation : MessageIcon::Question;
}

const char* MessageDialog::SoundEvent() const { return flags_ != 0 ? "Prompt" : "Message"; }

void MessageDialog::Press(int button) {
    if (Finished()) return;
    bool shown = std::any_of(buttons_.begin(), buttons_.end(), [&](const DialogButton& b) { return b.id == button; });
    if (!shown) return;
    const bool yesNo = kind_ == kMessageKindYesNo;
    switch (button) {
        case kButtonOk: result_ = yesNo ? kResultYes : kResultOk; break;
        case kButtonNo: result_ = kResultNo; break;
        case kButtonCancel: result_ = yesNo ? kResultNo : kResultCancel; break;
    }
}

void MessageDialog::Close() {
    if (Finished()) return;
    result_ = kind_ == kMessageKindYesNo ? kResultNo : kResultCancel;
}

bool MessageDialog::CheckAutoAnswer() {
    if (Finished() || !AutoAnswers() || clock_() < AutoAnswerTime()) return false;
    Press(kButtonOk);
    return true;
}

}  // namespace dravik::port
