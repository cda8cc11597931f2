// Sets TZ while it lives and puts the previous value back afterwards.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

class TimeZoneOverride {
public:
    explicit TimeZoneOverride(const std::string& zone) {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone.c_str(), 1);
        ::tzset();
    }
    ~TimeZoneOverride() {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    TimeZoneOverride(const TimeZoneOverride&) = delete;
    TimeZoneOverride& operator=(const TimeZoneOverride&) = delete;

private:
    std::optional<std::string> m_old;
};
