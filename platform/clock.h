// The time of day as the program sees it. Tests put a clock of their own in its place.
#pragma once

#include <chrono>

class ClockService {
public:
    virtual ~ClockService() = default;
    virtual std::chrono::system_clock::time_point Now() const = 0;
};

// The time from the clock in use: the system clock unless a test installed another one.
std::chrono::system_clock::time_point Now();

// Installs `clock` (not owned); nullptr goes back to the system clock.
void SetClockService(const ClockService* clock);
