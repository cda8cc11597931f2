#include "platform/clock.h"

namespace {

const ClockService* g_clock = nullptr;

} // namespace

std::chrono::system_clock::time_point Now() {
    return g_clock != nullptr ? g_clock->Now() : std::chrono::system_clock::now();
}

void SetClockService(const ClockService* clock) {
    g_clock = clock;
}
