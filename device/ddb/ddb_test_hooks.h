// Fault injection for the tests of the database file operations. Under
// root, file permissions do not refuse anything, so the tests make the
// open for an update fail through this hook instead.
#pragma once

#include <functional>
#include <string>

namespace dravik::device::ddb {

// Called with the database path before it is opened for an update;
// returns an errno to make that open fail, or 0.
using UpdateOpenFaultHook = std::function<int(const std::string& path)>;
void SetUpdateOpenFaultHookForTesting(UpdateOpenFaultHook hook);

}  // namespace dravik::device::ddb
