// HFS dates: the writer's local time, in seconds since 1 January 1904.
// The catalogue shows times as recorded (as it does for ISO 9660), so the
// seconds are broken down as they stand, without this machine's zone.
#include <ctime>

#include "program/readers/hfs/hfs_volume.h"
#include "program/scan/item_date.h"

namespace dravik::readers::hfs {

namespace {
constexpr std::int64_t kSecondsFrom1904To1970 = 2082844800;
}

scan::ItemDate HfsDate(std::uint32_t seconds) {
    // 0 is what writers leave in a date they never set.
    if (seconds == 0) return scan::ItemDate{};
    const std::time_t wall = static_cast<std::time_t>(std::int64_t{seconds} - kSecondsFrom1904To1970);
    std::tm fields{};
    if (!gmtime_r(&wall, &fields)) return scan::ItemDate{};
    return scan::ItemDateFromFields(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                                    fields.tm_min, fields.tm_sec);
}

}  // namespace dravik::readers::hfs
