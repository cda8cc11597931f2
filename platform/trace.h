// The debug trace: diagnostics that the operator never sees. The core writes to it; the
// application decides where it goes (by default nowhere).
#pragma once

#include <string_view>

// Where the trace goes. A test's sink installs itself when constructed and uninstalls when
// destroyed, as the test message boxes do.
class TraceSink {
public:
    virtual ~TraceSink() = default;
    virtual void Write(std::u16string_view piece) = 0;
};

// Installs `sink` (not owned); nullptr switches the trace off. Not thread-safe: set it at start-up.
void SetTraceSink(TraceSink* sink);

// True when a sink is installed, so callers can skip building trace text nobody reads.
bool TraceEnabled();

// Writes a piece of text to the trace. Pieces are not separated; callers add "\r\n" themselves.
void Trace(std::u16string_view text);

// Writes 8-bit text (ASCII, such as object identifiers) to the trace.
void TraceAscii(std::string_view text);
