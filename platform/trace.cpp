#include "platform/trace.h"

#include "platform/text_codec.h"

#include <utility>

namespace {
TraceSink& Sink() {
    static TraceSink sink;
    return sink;
}
} // namespace

void SetTraceSink(TraceSink sink) {
    Sink() = std::move(sink);
}

bool TraceEnabled() {
    return static_cast<bool>(Sink());
}

void Trace(std::u16string_view text) {
    if (auto& sink = Sink())
        sink(text);
}

void TraceAscii(std::string_view text) {
    if (auto& sink = Sink())
        sink(Utf8ToUtf16(text));
}
