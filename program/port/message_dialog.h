// What a message dialog shows and how it ends, independent of any widget
// toolkit: the buttons for the dialog kind, their labels and the default,
// the icon and sound, the results of each button and of the close box, and
// the 20-second auto-answer. A front end draws it and reports what the user
// did; the answer is decided here.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace dravik::port {

// Bits of MessageFlags (the high 16 bits of a message id).
constexpr unsigned kMessageKindMask = 0x000F;
constexpr unsigned kMessageKindOk = 0;           // button 1
constexpr unsigned kMessageKindOkCancel = 1;     // buttons 1, 2: results 1, 2
constexpr unsigned kMessageKindYesNoCancel = 3;  // buttons 1, 7, 2: results 1, 7, 2
constexpr unsigned kMessageKindYesNo = 4;        // buttons 1, 2: results 6, 7
constexpr unsigned kMessageSecondDefault = 0x0100;  // kinds 1, 4: button 2; kind 3: button 7
constexpr unsigned kMessageCancelDefault = 0x0200;  // kind 3: button 2
constexpr unsigned kMessageAutoAnswer = 0x8000;     // button 1 after 20 seconds

// Button ids and results.
constexpr int kButtonOk = 1;
constexpr int kButtonCancel = 2;
constexpr int kButtonNo = 7;
constexpr int kResultOk = 1;
constexpr int kResultCancel = 2;
constexpr int kResultYes = 6;
constexpr int kResultNo = 7;

constexpr std::chrono::seconds kAutoAnswerDelay{20};

enum class MessageIcon { Exclamation, Question };

struct DialogButton {
    int id;
    // Empty: the front end's own label for the button (OK, Cancel).
    std::string label;
};

using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

class MessageDialog {
public:
    // `yesNoLabels` and `threeWayLabels` are the language module's texts 902
    // and 903: labels separated by ";" in button order. The clock starts the
    // auto-answer time when the dialog is made (just before it shows).
    MessageDialog(std::string caption, std::string text, unsigned flags, const std::string& yesNoLabels,
                  const std::string& threeWayLabels, SteadyClock clock);

    const std::string& Caption() const { return caption_; }
    const std::string& Text() const { return text_; }
    unsigned Flags() const { return flags_; }
    // 0, 1, 3 or 4; any kind not listed behaves as 0.
    unsigned Kind() const { return kind_; }
    MessageIcon Icon() const;
    // The event sound the dialog plays when it opens.
    const char* SoundEvent() const;
    // The visible buttons in their order on screen.
    const std::vector<DialogButton>& Buttons() const { return buttons_; }
    int DefaultButton() const { return defaultButton_; }

    bool AutoAnswers() const { return (flags_ & kMessageAutoAnswer) != 0; }
    std::chrono::steady_clock::time_point AutoAnswerTime() const { return shownAt_ + kAutoAnswerDelay; }

    // The user pressed a button (ids 1, 2, 7); a button the dialog does not
    // show is ignored. Only the first answer counts.
    void Press(int button);
    // Close box or Escape.
    void Close();
    // The front end calls this while it waits; when the auto-answer time has
    // come it presses button 1 and returns true.
    bool CheckAutoAnswer();

    bool Finished() const { return result_ != 0; }
    // 1, 2, 6 or 7 once finished; 0 before.
    int Result() const { return result_; }

private:
    std::string caption_;
    std::string text_;
    unsigned flags_;
    unsigned kind_;
    std::vector<DialogButton> buttons_;
    int defaultButton_ = kButtonOk;
    SteadyClock clock_;
    std::chrono::steady_clock::time_point shownAt_;
    int result_ = 0;
};

// The labels of a ";"-separated list; missing ones are empty.
std::vector<std::string> SplitLabels(const std::string& labels, std::size_t count);

}  // namespace dravik::port
