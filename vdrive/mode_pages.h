// The mode pages of a virtual drive: read-write error recovery (0x01),
// write parameters (0x05), CD device parameters (0x0D), capabilities
// (0x2A) and a vendor speed page (0x31), each with current, default and
// changeable values.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "vdrive/drive_config.h"
#include "vdrive/sense.h"

namespace dravik::vdrive {

class ModePages {
public:
    void Init(const DriveConfig& config);

    // Page codes in ascending order.
    std::vector<uint8_t> Codes() const;
    bool Has(uint8_t code) const { return current_.count(code) != 0; }
    // pageControl: 0 current, 1 changeable, 2 default.
    std::vector<uint8_t> Get(uint8_t code, int pageControl) const;
    // Takes one page of a MODE SELECT parameter list (page code byte first,
    // `length` bytes in all). A change to a field that cannot change, an
    // unknown page or a wrong page length answers INVALID FIELD IN
    // PARAMETER LIST.
    Sense Select(const uint8_t* page, size_t length);
    void SetCurrentReadSpeed(uint32_t kbps);
    void SetCurrentWriteSpeed(uint32_t kbps);  // capabilities page bytes 20-21

private:
    std::map<uint8_t, std::vector<uint8_t>> current_, defaults_, changeable_;
};

}  // namespace dravik::vdrive
