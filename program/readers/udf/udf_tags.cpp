#include "program/readers/udf/udf_tags.h"

#include "program/readers/udf/udf_structures.h"

namespace dravik::readers::udf {

std::uint8_t TagChecksum(const std::uint8_t* descriptor) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kTagBytes; ++i)
        if (i != kTagChecksum) sum += descriptor[i];
    return static_cast<std::uint8_t>(sum);
}

int TagProblem(const std::uint8_t* descriptor, bool checkChecksum) {
    const std::uint16_t version = GetLe16(descriptor + kTagVersion);
    if (version < 1 || version > 3) return kTagBadVersion;
    if (descriptor[kTagReserved] != 0) return kTagBadReserved;
    if (GetLe16(descriptor + kTagCrcLength) > kBlockBytes) return kTagBadCrcLength;
    if (checkChecksum && TagChecksum(descriptor) != descriptor[kTagChecksum]) return kTagBadChecksum;
    return kTagGood;
}

}  // namespace dravik::readers::udf
