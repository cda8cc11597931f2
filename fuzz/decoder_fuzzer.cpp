// libFuzzer entry point: certificate bytes straight into the decoder, as if read from a file.
#include "inspect/certificate_decoder.h"
#include "platform/trace.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string_view>

namespace {

// Discards what the decoder writes to std::cerr, which would otherwise flood the run.
std::ostringstream g_discardedErrors;
std::size_t g_traceUnits = 0;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "decoder_fuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::cerr.rdbuf(g_discardedErrors.rdbuf());
    // A sink that reads every unit, so the trace text is built and checked by the sanitizers.
    SetTraceSink([](std::u16string_view piece) {
        for (const char16_t unit : piece)
            g_traceUnits += unit;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view der(reinterpret_cast<const char*>(data), size);
    const CertPropertyList properties = DecodeCertificateProperties(der);
    if (properties.empty())
        Fail("the decoder returned an empty list");
    for (const CertProperty& property : properties) {
        if (property.name.empty())
            Fail("an entry without a name");
    }
    g_discardedErrors.str({});
    return 0;
}
