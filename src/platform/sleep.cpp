#include "platform/sleep.h"

#include <chrono>
#include <thread>

namespace platform {
namespace {
std::function<void(unsigned)>& Sleeper() {
    static std::function<void(unsigned)> sleeper;
    return sleeper;
}
}  // namespace

void SleepMilliseconds(unsigned ms) {
    if (auto& s = Sleeper(); s) {
        s(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetSleepFunction(std::function<void(unsigned)> sleeper) { Sleeper() = std::move(sleeper); }

}  // namespace platform
