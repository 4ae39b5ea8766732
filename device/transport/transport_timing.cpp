#include "device/transport/transport_timing.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "device/test_seams.h"

namespace dravik::device {
namespace {
std::mutex sleeperMutex;
std::function<void(uint32_t)> testSleeper;
}  // namespace

uint32_t TransportTicks() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TransportSleep(uint32_t milliseconds) {
    std::function<void(uint32_t)> sleeper;
    {
        std::lock_guard lock(sleeperMutex);
        sleeper = testSleeper;
    }
    if (sleeper)
        sleeper(milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void test_seams::SetTransportSleep(std::function<void(uint32_t)> sleeper) {
    std::lock_guard lock(sleeperMutex);
    testSleeper = std::move(sleeper);
}

}  // namespace dravik::device
