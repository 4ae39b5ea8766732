// The error numbers the settings callers test for; they keep the values
// that callers written against the system registry expect.
#pragma once

namespace dravik::platform {

inline constexpr long kRegSuccess = 0;
inline constexpr long kRegNotFound = 2;
inline constexpr long kRegAccessDenied = 5;
inline constexpr long kRegInvalidHandle = 6;
inline constexpr long kRegWriteFault = 29;
inline constexpr long kRegReadFault = 30;
inline constexpr long kRegInvalidParameter = 87;
inline constexpr long kRegDiskFull = 112;
inline constexpr long kRegMoreData = 234;
inline constexpr long kRegNoMoreItems = 259;
inline constexpr long kRegKeyDeleted = 1018;
inline constexpr long kRegNoResources = 1450;

}  // namespace dravik::platform
