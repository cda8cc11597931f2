// Certificate folders for the benchmarks: generated once per size, removed at exit, and the
// reference measurements every benchmark is compared with.
#pragma once

#include "inspect/certificate_decoder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

// A few distinct certificates, as DER: RSA-2048 and RSA-4096 (issued by a CA), EC P-256 and
// P-384, each with a URL and an IPv4 alternative name and a multi-attribute issuer.
struct SampleCertificate {
    std::string label;
    std::string der;
};
const std::vector<SampleCertificate>& SampleCertificates();

// A certificate folder under its own data folder: `certificates` .crt files (the samples in
// turn), plus one .key and one .csr for every tenth certificate. Made once per size and process.
struct BenchFolder {
    std::filesystem::path dataHome; // what XDG_DATA_HOME points at
    std::filesystem::path folder;   // dataHome + "/Morvel/Certificates"
    std::size_t certificates = 0;
    std::size_t files = 0;
};
const BenchFolder& FolderOf(std::size_t certificates);

// Writes `bytes` as the whole file; throws std::runtime_error when it cannot.
void WriteBenchFile(const std::filesystem::path& path, const std::string& bytes);

// Points XDG_DATA_HOME at the folder's data folder, so GetCertificateFolder() finds it.
void UseFolder(const BenchFolder& folder);

// Runs the benchmarks that the command line selects, then removes every folder made by FolderOf.
// The whole of a benchmark program's main, once any set-up of its own is done.
int RunBenchmarks(int argc, char** argv);

// The floor of a tick: open the folder, read every entry and stat it once. Returns the number of
// entries stat-ed, so nothing can be optimised away.
std::size_t BareListing(const std::filesystem::path& folder);

// What a rebuild costs when every file is read and decoded again: list the folder, make each
// row's property list and cell texts. `decode` reads one certificate file.
using FileDecoder = CertPropertyList (*)(const std::filesystem::path&);
std::size_t RedecodeEverything(const std::filesystem::path& folder, FileDecoder decode);

// The obvious decoder: read the file, d2i_X509 and the same fields.
CertPropertyList ReadWithFullDecoder(const std::filesystem::path& path);

// Seconds taken by `work`.
template <typename Work> double Seconds(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Sets the counters every comparison reports: the mean time of the measured step and of its
// reference in milliseconds, and their ratio.
void ReportAgainst(benchmark::State& state, const char* referenceName, double measuredSeconds,
                   double referenceSeconds);
