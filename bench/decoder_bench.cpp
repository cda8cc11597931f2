// The certificate decoder, one certificate at a time, against d2i_X509 and the same fields.
#include "bench_folder.h"

#include "inspect/openssl_ptr.h"

#include <openssl/pem.h>

#include <cstdio>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A sample certificate as a file, read back from the disk cache like a tick reads it.
void BM_DecodeCertificateFile(benchmark::State& state) {
    const auto index = static_cast<std::size_t>(state.range(0));
    const BenchFolder& folder = FolderOf(1000);
    char name[32];
    std::snprintf(name, sizeof name, "host-%05zu.crt", index);
    const fs::path path = folder.folder / name;
    state.SetLabel(SampleCertificates()[index].label);
    if (ReadCertificateProperties(path) != ReadWithFullDecoder(path)) {
        state.SkipWithError("the decoders give different lists");
        return;
    }
    double decode = 0, obvious = 0;
    for (auto _ : state) {
        const double seconds =
            Seconds([&] { benchmark::DoNotOptimize(ReadCertificateProperties(path)); });
        decode += seconds;
        state.SetIterationTime(seconds);
        obvious += Seconds([&] { benchmark::DoNotOptimize(ReadWithFullDecoder(path)); });
    }
    ReportAgainst(state, "d2i", decode, obvious);
}

// Every certificate of the system's store (PEM files of /etc/ssl/certs, as DER), all decoded in
// one pass.
std::vector<std::string> SystemCertificates() {
    std::vector<std::string> certificates;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/etc/ssl/certs", error)) {
        if (entry.path().extension() != ".pem")
            continue;
        UniqueBio bio(BIO_new_file(entry.path().c_str(), "r"));
        if (!bio)
            continue;
        UniqueX509 certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        if (!certificate)
            continue;
        unsigned char* der = nullptr;
        const int length = i2d_X509(certificate.get(), &der);
        if (length > 0)
            certificates.emplace_back(reinterpret_cast<const char*>(der),
                                      static_cast<std::size_t>(length));
        OPENSSL_free(der);
    }
    return certificates;
}

void BM_DecodeSystemCertificates(benchmark::State& state) {
    const std::vector<std::string> certificates = SystemCertificates();
    if (certificates.empty()) {
        state.SkipWithError("no certificates in /etc/ssl/certs");
        return;
    }
    for (const auto& der : certificates) {
        if (DecodeCertificateProperties(der) != DecodeCertificatePropertiesFully(der)) {
            state.SkipWithError("the decoders give different lists");
            return;
        }
    }
    double decode = 0, obvious = 0;
    for (auto _ : state) {
        const double seconds = Seconds([&] {
            for (const auto& der : certificates)
                benchmark::DoNotOptimize(DecodeCertificateProperties(der));
        });
        decode += seconds;
        state.SetIterationTime(seconds);
        obvious += Seconds([&] {
            for (const auto& der : certificates)
                benchmark::DoNotOptimize(DecodeCertificatePropertiesFully(der));
        });
    }
    ReportAgainst(state, "d2i", decode, obvious);
    state.counters["certificates"] = static_cast<double>(certificates.size());
}

} // namespace

BENCHMARK(BM_DecodeCertificateFile)
    ->DenseRange(0, 3)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeSystemCertificates)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv);
}
