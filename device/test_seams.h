// Test seams of the device library: FOR TESTS ONLY. The program never calls
// these. Each one replaces something the library otherwise takes from the
// machine (the kernel version, the transports, real sleeps, the ASPI
// module, a failing file open), so tests can drive every path without
// drives, root rights or long waits. Each setter's definition sits beside
// the state it replaces; passing null or an empty value puts the real
// behaviour back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace dravik::device {

struct OsVersion;
struct TransportStarters;

namespace test_seams {

// Replaces what CurrentOsVersion reports (the kernel release); null
// restores the real one.
void SetOsVersion(const OsVersion* version);

// Replaces the table of transports CDDevice::Initialize starts (the
// built-in BuiltInTransports); null puts the built-in one back.
void SetTransportStarters(const TransportStarters* starters);

// Replaces the sleep of the transports' retry waits, so tests count the
// waits instead of sleeping them; an empty function restores the real one.
void SetTransportSleep(std::function<void(std::uint32_t)> sleeper);

// Replaces the ASPI module the ASPI transport loads ("libwnaspi32.so");
// empty restores the default.
void SetAspiModuleName(const std::string& name);

// Replaces how long the ASPI transport waits for a request to complete
// (120000 ms); 0 restores the default.
void SetAspiCompletionWait(std::uint32_t milliseconds);

// Forgets the application and company names RegistryStore remembers, so
// the next test starts as a fresh process would.
void ForgetRegistryNames();

// Makes the device database's open for an update fail: the hook is called
// with the database path and returns an errno to fail the open, or 0.
// Under root file permissions refuse nothing, so this stands in for a
// database the user cannot write.
using UpdateOpenFaultHook = std::function<int(const std::string& path)>;
void SetUpdateOpenFaultHook(UpdateOpenFaultHook hook);

}  // namespace test_seams

}  // namespace dravik::device
