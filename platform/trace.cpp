#include "platform/trace.h"

#include "platform/text_codec.h"

namespace {
TraceSink*& Sink() {
    static TraceSink* sink = nullptr;
    return sink;
}
} // namespace

void SetTraceSink(TraceSink* sink) {
    Sink() = sink;
}

bool TraceEnabled() {
    return Sink() != nullptr;
}

void Trace(std::u16string_view text) {
    if (TraceSink* sink = Sink())
        sink->Write(text);
}

void TraceAscii(std::string_view text) {
    if (TraceSink* sink = Sink())
        sink->Write(Utf8ToUtf16(text));
}
