// libFuzzer entry point: certificate bytes straight into the decoder, as if read from a file. The
// normal decoder (light where it can be) must show exactly what the complete one shows: the same
// list, the same trace pieces and the same standard error text; where the light decoder declines,
// it must have shown nothing.
#include "inspect/certificate_decoder.h"
#include "support/trace_capture.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Take what the decoder writes to std::cerr, which would otherwise flood the run, and the trace
// pieces of the decoding under way; the sink reads every unit, so the sanitizers check the trace
// text as well. Both stay installed for the whole run.
CerrCapture* g_errors = nullptr;
TraceCapture* g_trace = nullptr;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "decoder_fuzzer: %s\n", what);
    std::abort();
}

struct Outcome {
    std::optional<CertPropertyList> list;
    std::vector<std::u16string> trace;
    std::string errors;

    friend bool operator==(const Outcome&, const Outcome&) = default;
};

template <typename Decode> Outcome Observe(Decode decode) {
    g_trace->TakePieces();
    g_errors->Clear();
    std::optional<CertPropertyList> list = decode();
    return Outcome{std::move(list), g_trace->TakePieces(), g_errors->text()};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_errors = new CerrCapture;
    g_trace = new TraceCapture;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view der(reinterpret_cast<const char*>(data), size);
    const Outcome normal = Observe([&] { return DecodeCertificateProperties(der); });
    if (!normal.list || normal.list->empty())
        Fail("the decoder returned an empty list");
    for (const CertProperty& property : *normal.list) {
        if (property.name.empty())
            Fail("an entry without a name");
    }
    const Outcome full = Observe([&] { return DecodeCertificatePropertiesFully(der); });
    if (normal != full)
        Fail("the decoder and the complete decoder differ");
    const Outcome light = Observe([&] { return DecodeCertificatePropertiesLightly(der); });
    if (light != full && light != Outcome{})
        Fail("the light decoder gave something else, or declined after showing something");
    return 0;
}
