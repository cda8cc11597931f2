#include "bench_folder.h"

#include "catalogue/certificate_rows.h"
#include "catalogue/folder_scan.h"
#include "support/cert_builder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace {

NameList IssuerName(const std::string& commonName) {
    return {{"2.5.4.6", V_ASN1_PRINTABLESTRING, "JP"},
            {"2.5.4.8", V_ASN1_UTF8STRING, "Tokyo"},
            {"2.5.4.7", V_ASN1_UTF8STRING, "Chiyoda"},
            {"2.5.4.10", V_ASN1_UTF8STRING, "Morvel"},
            {"2.5.4.11", V_ASN1_UTF8STRING, "Certificates"},
            {"2.5.4.3", V_ASN1_UTF8STRING, commonName},
            {"1.2.840.113549.1.9.1", V_ASN1_IA5STRING, "pki@morvel.example"}};
}

std::string Sample(KeyParams key, const std::string& commonName, const CertAuthority* issuer) {
    CertBuilder builder;
    builder.Key(std::move(key))
        .Subject(IssuerName(commonName))
        .Serial(0x0123ABCD)
        .San({SanEntry::Uri("urn:0123ABCD:quillet.morvel.example"),
              SanEntry::Ip(std::string("\x0A\x00\x00\x01", 4))});
    if (issuer != nullptr)
        builder.SignedBy(*issuer);
    return builder.BuildDer();
}

std::map<std::size_t, std::unique_ptr<BenchFolder>>& Folders() {
    static std::map<std::size_t, std::unique_ptr<BenchFolder>> folders;
    return folders;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

const std::vector<SampleCertificate>& SampleCertificates() {
    static const std::vector<SampleCertificate> samples = [] {
        CertBuilder authorityBuilder;
        authorityBuilder.Key(KeyParams::Rsa(2048)).Subject(IssuerName("Morvel Bench CA"));
        const CertAuthority authority = authorityBuilder.BuildAuthority();
        return std::vector<SampleCertificate>{
            {"RSA-2048", Sample(KeyParams::Rsa(2048), "web.morvel.example", nullptr)},
            {"RSA-4096", Sample(KeyParams::Rsa(4096), "mail.morvel.example", &authority)},
            {"P-256", Sample(KeyParams::Ec("P-256"), "api.morvel.example", &authority)},
            {"P-384", Sample(KeyParams::Ec("P-384"), "vpn.morvel.example", nullptr)},
        };
    }();
    return samples;
}

const BenchFolder& FolderOf(std::size_t certificates) {
    auto& slot = Folders()[certificates];
    if (slot)
        return *slot;
    std::string pattern = (fs::temp_directory_path() / "quillet-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    auto folder = std::make_unique<BenchFolder>();
    folder->dataHome = pattern;
    folder->folder = folder->dataHome / "Morvel" / "Certificates";
    fs::create_directories(folder->folder);

    const auto& samples = SampleCertificates();
    const std::string keyPem = PrivateKeyPem(KeyParams::Rsa(2048));
    const std::string csrDer = CsrDer(KeyParams::Rsa(2048), IssuerName("request.morvel.example"));
    char name[64];
    for (std::size_t i = 0; i < certificates; ++i) {
        std::snprintf(name, sizeof name, "host-%05zu", i);
        WriteBenchFile(folder->folder / (std::string(name) + ".crt"),
                       samples[i % samples.size()].der);
        ++folder->files;
        if (i % 10 == 0) {
            WriteBenchFile(folder->folder / (std::string(name) + ".key"), keyPem);
            WriteBenchFile(folder->folder / (std::string(name) + ".csr"), csrDer);
            folder->files += 2;
        }
    }
    folder->certificates = certificates;
    // A file is decoded again whenever its status changed within the last two seconds (its time
    // stamps cannot yet tell a later rewrite apart), so let the new files settle first.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    slot = std::move(folder);
    return *slot;
}

void WriteBenchFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void UseFolder(const BenchFolder& folder) {
    ::setenv("XDG_DATA_HOME", folder.dataHome.c_str(), 1);
}

int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    for (const auto& [size, folder] : Folders())
        fs::remove_all(folder->dataHome, ignored);
    Folders().clear();
    return 0;
}

std::size_t BareListing(const fs::path& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return 0;
    const int fd = ::dirfd(dir);
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, 0) == 0)
            ++count;
    }
    ::closedir(dir);
    return count;
}

std::size_t RedecodeEverything(const fs::path& folder, FileDecoder decode) {
    std::vector<fs::path> files;
    ScanError error;
    ScanCertificateFolder(folder, files, error);
    if (error.code)
        return 0;
    std::vector<CertPropertyList> lists;
    std::vector<CertificateRowCells> cells;
    lists.reserve(files.size());
    cells.reserve(files.size());
    for (const auto& file : files) {
        lists.push_back(KindOfListedFile(file) == ListedFileKind::Certificate
                            ? decode(file)
                            : PropertiesOfListedFile(file));
        cells.push_back(CellsOfRow(file, lists.back()));
    }
    return lists.size() + cells.size();
}

CertPropertyList ReadWithFullDecoder(const fs::path& path) {
    return DecodeCertificatePropertiesFully(ReadFile(path));
}

void ReportAgainst(benchmark::State& state, const char* referenceName, double measuredSeconds,
                   double referenceSeconds) {
    const double runs = static_cast<double>(state.iterations());
    state.counters["ms"] = measuredSeconds * 1e3 / runs;
    state.counters[std::string(referenceName) + "_ms"] = referenceSeconds * 1e3 / runs;
    state.counters[std::string("x_") + referenceName] =
        referenceSeconds > 0 ? measuredSeconds / referenceSeconds : 0;
}
