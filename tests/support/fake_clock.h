// A clock that stands still until the test moves it.
#pragma once

#include "platform/clock.h"

class FakeClock final : public ClockService {
public:
    explicit FakeClock(std::chrono::system_clock::time_point start) : now(start) {
        SetClockService(this);
    }
    ~FakeClock() override { SetClockService(nullptr); }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    std::chrono::system_clock::time_point Now() const override { return now; }

    std::chrono::system_clock::time_point now;
};
