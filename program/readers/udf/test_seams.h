// Test seams of the UDF reader: FOR TESTS ONLY. The program never calls
// these. The definitions sit beside the state they replace.
#pragma once

#include <cstdint>
#include <functional>

namespace dravik::readers::udf::test_seams {

// Replaces the clock the intensive searches time themselves with
// (milliseconds); null restores the steady clock.
void SetSearchClock(std::function<std::int64_t()> milliseconds);

}  // namespace dravik::readers::udf::test_seams
