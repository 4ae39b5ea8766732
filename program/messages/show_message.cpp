#include "program/messages/show_message.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/utf8_text.h"
#include "program/diag/debug_log.h"
#include "program/diag/tracked_alloc.h"
#include "program/messages/event_sound.h"
#include "program/messages/language_module.h"
#include "program/messages/message_catalog.h"

namespace dravik::messages {

namespace {

constexpr unsigned kYesNoLabelsText = 902;
constexpr unsigned kThreeWayLabelsText = 903;
constexpr unsigned kOutOfMemoryMessage = 111;

std::mutex& ContextLock() {
    static std::mutex lock;
    return lock;
}
MessageContext& Context() {
    static MessageContext context;
    return context;
}
MessageContext CurrentContext() {
    std::lock_guard<std::mutex> hold(ContextLock());
    return Context();
}
const LanguageModule& Language(const MessageContext& context) {
    return context.language ? *context.language : ProgramLanguage();
}

void LogText(const std::string& text) {
    if (diag::DebugMode) diag::DebugPrint("%s", text.c_str());
}

int DefaultResult(unsigned flags) {
    port::MessageDialog dialog("", "", flags, "", "", [] { return std::chrono::steady_clock::time_point{}; });
    dialog.Press(dialog.DefaultButton());
    return dialog.Result();
}

// On the user-interface thread (or with no front end at all).
int ShowDialog(unsigned flags, const std::string& text, port::WindowRef owner) {
    MessageContext context = CurrentContext();
    port::ShellPort* port = port::InstalledShellPort();
    if (!port) {
        // Nothing can show it: say it where a person may see it and take the
        // default answer, as a dialog nobody answers would not end.
        std::fprintf(stderr, "%s\n", text.c_str());
        return DefaultResult(flags);
    }
    const LanguageModule& language = Language(context);
    port::MessageDialog dialog(context.caption, text, flags, language.Text(kYesNoLabelsText),
                               language.Text(kThreeWayLabelsText), context.clock);
    PlayEventSound(dialog.SoundEvent());
    port->RunMessageDialog(dialog, owner);
    if (!dialog.Finished()) dialog.Close();
    return dialog.Result();
}

// What window message 2025 does: hands a finished text to the user-interface
// thread in a tracked copy, which that thread shows and releases, and waits
// for the answer.
int HandOver(port::ShellPort& port, unsigned flags, const std::string& text) {
    char* copy = static_cast<char*>(diag::TrackedAlloc(text.size() + 1, __FILE__, __LINE__));
    if (!copy) {
        // No memory for the copy: the caller waits anyway, so its own text
        // can be shown directly.
        return port.CallOnUserInterfaceThread([&] { return ShowDialog(flags, text, nullptr); });
    }
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return port.CallOnUserInterfaceThread([flags, copy] {
        int result = ShowDialog(flags, copy, nullptr);
        diag::TrackedFree(copy, __FILE__, __LINE__);
        return result;
    });
}

// Shows `text` on the right thread. `text` has been logged already.
int ShowFromAnyThread(unsigned flags, const std::string& text) {
    port::ShellPort* port = port::InstalledShellPort();
    if (!port || port->IsUserInterfaceThread()) return ShowDialog(flags, text, nullptr);
    return HandOver(*port, flags, text);
}

std::string LoadText(const MessageContext& context, unsigned number, std::size_t limit) {
    std::string text = Language(context).Text(number);
    dravik::text::CutUtf8InPlace(text, limit);
    return text;
}

thread_local bool t_reportingOutOfMemory = false;
void ReportOutOfMemory() {
    // The hand-over itself allocates; never report its own failure again.
    if (t_reportingOutOfMemory) return;
    t_reportingOutOfMemory = true;
    ShowMessage(kOutOfMemoryMessage);
    t_reportingOutOfMemory = false;
}

}  // namespace

void SetMessageContext(MessageContext context) {
    {
        std::lock_guard<std::mutex> hold(ContextLock());
        Context() = std::move(context);
    }
    diag::SetAllocationFailureNotifier(&ReportOutOfMemory);
}

const LanguageModule& MessageLanguage() {
    std::lock_guard<std::mutex> hold(ContextLock());
    return Language(Context());
}

std::string FormatMessageText(unsigned number, const std::string& format, va_list arguments) {
    const MessageSpec* entry = FindMessageSpec(number);
    std::string why;
    bool fits = entry ? FormatFitsArguments(format, entry->arguments, &why)
                     : FormatFitsArguments(format, "", &why);
    if (!fits) {
        if (diag::DebugMode)
            diag::DebugPrint("Message %u: its text does not fit its arguments (%s); shown unformatted", number,
                             why.c_str());
        std::string text = format;
        dravik::text::CutUtf8InPlace(text, kMaxMessageText);
        return text;
    }
    char buffer[kMaxMessageText + 1];
    va_list copy;
    va_copy(copy, arguments);
    std::vsnprintf(buffer, sizeof buffer, format.c_str(), copy);
    va_end(copy);
    std::string text = buffer;
    dravik::text::CutUtf8InPlace(text, kMaxMessageText);
    return text;
}

int VShowMessage(int id, va_list arguments) {
    const unsigned number = static_cast<unsigned>(id) & 0xFFFF;
    const unsigned flags = static_cast<unsigned>(id) >> 16;
    if (number != 0) {
        MessageContext context = CurrentContext();
        std::string text = FormatMessageText(number, LoadText(context, number, kMaxLoadedText), arguments);
        LogText(text);
        return ShowFromAnyThread(flags, text);
    }
    // Number 0: the first argument is the finished text.
    va_list copy;
    va_copy(copy, arguments);
    const char* given = va_arg(copy, const char*);
    va_end(copy);
    if (!given) return 0;
    std::string text = given;
    LogText(text);
    if (!text.empty() && text[0] == '!') return 0;  // a log line only
    // The caller keeps its text; only the hand-over's own copy is released.
    return ShowFromAnyThread(flags, text);
}

int ShowMessage(int id, ...) {
    va_list arguments;
    va_start(arguments, id);
    int result = VShowMessage(id, arguments);
    va_end(arguments);
    return result;
}

int ShowMessageOwned(port::WindowRef owner, int id, ...) {
    const unsigned number = static_cast<unsigned>(id) & 0xFFFF;
    const unsigned flags = static_cast<unsigned>(id) >> 16;
    va_list arguments;
    va_start(arguments, id);
    std::string text;
    if (number != 0) {
        MessageContext context = CurrentContext();
        text = FormatMessageText(number, LoadText(context, number, kMaxOwnedLoadedText), arguments);
    } else {
        const char* given = va_arg(arguments, const char*);
        text = given ? given : "";
    }
    va_end(arguments);
    return ShowDialog(flags, text, owner);
}

}  // namespace dravik::messages
