#include "device/request/system_error_text.h"

namespace dravik::device {

namespace {

struct SystemMessage {
    unsigned long code;
    const char* text;
};

constexpr SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {21, "The device is not ready.\r\n"},
    {23, "Data error (cyclic redundancy check).\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {50, "The request is not supported.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {121, "The semaphore timeout period has expired.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {126, "The specified module could not be found.\r\n"},
    {1117, "The request could not be performed because of an I/O device error.\r\n"},
    {1167, "The device is not connected.\r\n"},
    {1460, "This operation returned because the timeout period expired.\r\n"},
};

}  // namespace

std::string SystemMessageText(unsigned long code) {
    for (const SystemMessage& message : kSystemMessages)
        if (message.code == code) return message.text;
    return {};
}

std::string TrimSystemMessage(const std::string& message) {
    std::size_t lastReturn = message.rfind('\r');
    if (lastReturn == std::string::npos) return message;
    // Drop the carriage return and the character before it, when there is one.
    return message.substr(0, lastReturn == 0 ? 0 : lastReturn - 1);
}

}  // namespace dravik::device
