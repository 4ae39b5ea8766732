// Error texts: the device's sense bytes, and system error codes, as the
// messages of the library show them.
#include <cstdio>
#include <cstring>
#include <string>

#include "device/cddevice/cddevice.h"
#include "device/request/dev_request.h"
#include "device/request/resource_text.h"
#include "device/request/system_error_text.h"

namespace dravik::device {

namespace {
// Copies text into a buffer of `size` chars, cut to fit, always terminated.
void CopyText(char* buffer, std::size_t size, const std::string& text) {
    std::size_t count = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
}
}  // namespace

const char* CDDevice::FormatErrorSense() {
    if (senseKey_ == kSenseSystemError) {
        unsigned long code = static_cast<unsigned long>(ascq_) * 256 + asc_;
        std::string text = TrimSystemMessage(SystemMessageText(code));
        text += ", Error=" + std::to_string(code);
        CopyText(textBuffer_, sizeof textBuffer_, text);
        return textBuffer_;
    }
    // The sense text is read into a buffer of its own size, as a long
    // translation must not crowd out the sense bytes.
    char senseText[kSenseTextChars];
    CopyText(senseText, sizeof senseText, LoadResourceText(resourceModule_, kSenseTextBase + asc_));
    if (senseText[0] != '\0')
        std::snprintf(textBuffer_, sizeof textBuffer_, "%s\nSense=%02x %02x", senseText, asc_, ascq_);
    else
        std::snprintf(textBuffer_, sizeof textBuffer_, "Sense=%02x %02x", asc_, ascq_);
    return textBuffer_;
}

const char* CDDevice::FormatSense(DevRequest* request) {
    if (request != nullptr) {
        senseKey_ = request->senseKey;
        asc_ = request->asc;
        ascq_ = request->ascq;
    }
    return FormatErrorSense();
}

char* CDDevice::GetErrorString(char* buf, unsigned long code) {
    if (buf == nullptr) return buf;
    CopyText(buf, kTextBufferChars, TrimSystemMessage(SystemMessageText(code)));
    return buf;
}

}  // namespace dravik::device
