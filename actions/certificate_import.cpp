#include "actions/certificate_import.h"

#include "inspect/openssl_ptr.h"
#include "platform/text_codec.h"
#include "platform/unique_fd.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

namespace {

constexpr std::u16string_view kNotImportable =
    u"is not a certificate, private key or certificate request";

std::u16string ErrnoText(int error) {
    return Utf8ToUtf16(std::strerror(error));
}

// Runs the d2i function over all of `der`: the object, or null when it fails or leaves bytes.
template <typename Unique, typename D2i> Unique ParseWhole(std::string_view der, D2i d2i) {
    if (der.empty() || der.size() > static_cast<std::size_t>(INT32_MAX))
        return nullptr;
    auto* start = reinterpret_cast<const unsigned char*>(der.data());
    const unsigned char* p = start;
    Unique object(d2i(nullptr, &p, static_cast<long>(der.size())));
    if (object && static_cast<std::size_t>(p - start) != der.size())
        object.reset();
    return object;
}

bool IsCertificate(std::string_view der) {
    return ParseWhole<UniqueX509>(der, d2i_X509) != nullptr;
}

bool IsRequest(std::string_view der) {
    return ParseWhole<UniqueX509Req>(der, d2i_X509_REQ) != nullptr;
}

// An unencrypted PKCS #8 key whose key OpenSSL can load.
bool IsPkcs8Key(std::string_view der) {
    const UniquePkcs8 info = ParseWhole<UniquePkcs8>(der, d2i_PKCS8_PRIV_KEY_INFO);
    return info && UniqueEvpPkey(EVP_PKCS82PKEY(info.get())) != nullptr;
}

// An encrypted PKCS #8 key: the structure, under a password-based encryption scheme OpenSSL
// knows. Its contents cannot be checked without the passphrase.
bool IsEncryptedPkcs8Key(std::string_view der) {
    const UniqueX509Sig sig = ParseWhole<UniqueX509Sig>(der, d2i_X509_SIG);
    if (!sig)
        return false;
    const X509_ALGOR* algorithm = nullptr;
    const ASN1_OCTET_STRING* data = nullptr;
    X509_SIG_get0(sig.get(), &algorithm, &data);
    const ASN1_OBJECT* oid = nullptr;
    X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
    const int nid = OBJ_obj2nid(oid);
    return nid != NID_undef &&
           EVP_PBE_find(EVP_PBE_TYPE_OUTER, nid, nullptr, nullptr, nullptr) == 1;
}

// A key in the traditional form of its type (PKCS #1 for RSA, SEC 1 for EC, DSA's own).
bool IsTraditionalKey(int type, std::string_view der) {
    return ParseWhole<UniqueEvpPkey>(der,
                                     [type](EVP_PKEY** out, const unsigned char** p, long length) {
                                         return d2i_PrivateKey(type, out, p, length);
                                     }) != nullptr;
}

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

// A PEM block with this label, headers and contents; empty when OpenSSL cannot write it.
std::string PemBlock(const char* label, const char* headers, std::string_view der) {
    const UniqueBio bio(BIO_new(BIO_s_mem()));
    if (!bio ||
        PEM_write_bio(bio.get(), label, headers, reinterpret_cast<const unsigned char*>(der.data()),
                      static_cast<long>(der.size())) <= 0)
        return {};
    return BioText(bio.get());
}

// A traditional or PKCS #8 DER key written as unencrypted PKCS #8 PEM; empty when it is none.
std::string KeyAsPkcs8Pem(std::string_view der) {
    const UniqueEvpPkey key = ParseWhole<UniqueEvpPkey>(der, d2i_AutoPrivateKey);
    if (!key)
        return {};
    const UniqueBio bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PKCS8PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr,
                                              nullptr) <= 0)
        return {};
    return BioText(bio.get());
}

// One DER object, or nothing when the bytes are none of the three kinds.
std::optional<ImportedObject> ClassifyDer(std::string_view der) {
    if (IsCertificate(der))
        return ImportedObject{ImportKind::Certificate, std::string(der)};
    if (IsRequest(der))
        return ImportedObject{ImportKind::Request, PemBlock("CERTIFICATE REQUEST", "", der)};
    if (IsPkcs8Key(der))
        return ImportedObject{ImportKind::PrivateKey, PemBlock("PRIVATE KEY", "", der)};
    if (IsEncryptedPkcs8Key(der))
        return ImportedObject{ImportKind::PrivateKey, PemBlock("ENCRYPTED PRIVATE KEY", "", der)};
    if (std::string pem = KeyAsPkcs8Pem(der); !pem.empty())
        return ImportedObject{ImportKind::PrivateKey, std::move(pem)};
    return std::nullopt;
}

enum class BlockKind {
    Certificate,
    TrustedCertificate,
    Request,
    Pkcs8,
    EncryptedPkcs8,
    Traditional,
    Ignored
};

struct BlockLabel {
    std::string_view label;
    BlockKind kind;
    int keyType = EVP_PKEY_NONE; // for BlockKind::Traditional
};

// The PEM labels that are taken; any other refuses the file.
constexpr BlockLabel kBlockLabels[] = {
    {"CERTIFICATE", BlockKind::Certificate},
    {"X509 CERTIFICATE", BlockKind::Certificate},
    {"TRUSTED CERTIFICATE", BlockKind::TrustedCertificate},
    {"CERTIFICATE REQUEST", BlockKind::Request},
    {"NEW CERTIFICATE REQUEST", BlockKind::Request},
    {"PRIVATE KEY", BlockKind::Pkcs8},
    {"ENCRYPTED PRIVATE KEY", BlockKind::EncryptedPkcs8},
    {"RSA PRIVATE KEY", BlockKind::Traditional, EVP_PKEY_RSA},
    {"EC PRIVATE KEY", BlockKind::Traditional, EVP_PKEY_EC},
    {"DSA PRIVATE KEY", BlockKind::Traditional, EVP_PKEY_DSA},
    {"EC PARAMETERS", BlockKind::Ignored},
};

const BlockLabel* FindLabel(std::string_view label) {
    for (const BlockLabel& row : kBlockLabels) {
        if (row.label == label)
            return &row;
    }
    return nullptr;
}

// The bytes of the certificate that starts a "TRUSTED CERTIFICATE" block (the certificate is
// followed by OpenSSL's trust settings, which the folder has no use for); empty when the block
// does not parse whole.
std::string TrustedCertificateDer(std::string_view der) {
    if (!ParseWhole<UniqueX509>(der, d2i_X509_AUX))
        return {};
    auto* start = reinterpret_cast<const unsigned char*>(der.data());
    const unsigned char* p = start;
    const UniqueX509 certificate(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
    if (!certificate)
        return {};
    return std::string(der.substr(0, static_cast<std::size_t>(p - start)));
}

// Traditional key blocks may be encrypted; then their headers say how, and the contents
// cannot be checked without the passphrase.
bool HasEncryptionHeader(const std::string& headers) {
    if (headers.empty())
        return false;
    std::string copy = headers; // PEM_get_EVP_CIPHER_INFO works on its argument in place
    EVP_CIPHER_INFO cipher{};
    return PEM_get_EVP_CIPHER_INFO(copy.data(), &cipher) == 1 && cipher.cipher != nullptr;
}

// The object of one PEM block with a known label, or nothing when its contents do not parse.
std::optional<ImportedObject> ClassifyBlock(const BlockLabel& row, const char* label,
                                            const std::string& headers, std::string_view der) {
    const auto keep = [&](ImportKind kind) -> std::optional<ImportedObject> {
        std::string pem = PemBlock(label, headers.c_str(), der);
        if (pem.empty())
            return std::nullopt;
        return ImportedObject{kind, std::move(pem)};
    };
    switch (row.kind) {
    case BlockKind::Certificate:
        if (headers.empty() && IsCertificate(der))
            return ImportedObject{ImportKind::Certificate, std::string(der)};
        return std::nullopt;
    case BlockKind::TrustedCertificate:
        if (std::string certificate = TrustedCertificateDer(der);
            headers.empty() && !certificate.empty())
            return ImportedObject{ImportKind::Certificate, std::move(certificate)};
        return std::nullopt;
    case BlockKind::Request:
        return headers.empty() && IsRequest(der) ? keep(ImportKind::Request) : std::nullopt;
    case BlockKind::Pkcs8:
        return headers.empty() && IsPkcs8Key(der) ? keep(ImportKind::PrivateKey) : std::nullopt;
    case BlockKind::EncryptedPkcs8:
        return headers.empty() && IsEncryptedPkcs8Key(der) ? keep(ImportKind::PrivateKey)
                                                           : std::nullopt;
    case BlockKind::Traditional:
        if (HasEncryptionHeader(headers) || (headers.empty() && IsTraditionalKey(row.keyType, der)))
            return keep(ImportKind::PrivateKey);
        return std::nullopt;
    case BlockKind::Ignored:
        break;
    }
    return std::nullopt;
}

std::u16string Quoted(std::string_view label) {
    return u"\"" + Utf8ToUtf16(label) + u"\"";
}

// The blocks of PEM text, in order.
ImportClassification ClassifyPem(std::string_view text) {
    ImportClassification result;
    const UniqueBio bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    if (!bio) {
        result.refusal = u"could not be read (out of memory)";
        return result;
    }
    std::vector<ImportedObject> objects;
    for (;;) {
        char* rawLabel = nullptr;
        char* rawHeaders = nullptr;
        unsigned char* rawData = nullptr;
        long length = 0;
        const int read = PEM_read_bio(bio.get(), &rawLabel, &rawHeaders, &rawData, &length);
        const UniqueOpenSslText label(rawLabel);
        const UniqueOpenSslText headers(rawHeaders);
        const UniqueOpenSslBytes data(rawData);
        if (read <= 0) {
            const unsigned long error = ERR_peek_last_error();
            if (ERR_GET_LIB(error) == ERR_LIB_PEM && ERR_GET_REASON(error) == PEM_R_NO_START_LINE)
                break; // no further block
            result.refusal = u"holds a damaged PEM block";
            return result;
        }
        const std::string_view labelText(label.get());
        const std::string headerText(headers ? headers.get() : "");
        const std::string_view der(reinterpret_cast<const char*>(data.get()),
                                   static_cast<std::size_t>(length));
        const BlockLabel* row = FindLabel(labelText);
        if (row == nullptr) {
            result.refusal = u"holds a PEM block " + Quoted(labelText) +
                             u", which is not a certificate, private key or certificate request";
            return result;
        }
        if (row->kind == BlockKind::Ignored)
            continue;
        std::optional<ImportedObject> object = ClassifyBlock(*row, label.get(), headerText, der);
        if (!object) {
            result.refusal = u"holds a PEM block " + Quoted(labelText) + u" that cannot be read";
            return result;
        }
        objects.push_back(std::move(*object));
    }
    if (objects.empty())
        result.refusal = std::u16string(kNotImportable);
    else
        result.objects = std::move(objects);
    return result;
}

constexpr std::string_view kPemStart = "-----BEGIN ";

// The final component of `source` without its last extension.
std::string BaseName(const std::filesystem::path& source) {
    return source.filename().stem().native();
}

} // namespace

ImportClassification ClassifyImportBytes(std::string_view bytes) {
    const OpenSslErrorScope errors;
    ImportClassification result;
    if (bytes.empty()) {
        result.refusal = u"is empty";
        return result;
    }
    if (bytes.size() > kMaxImportFileSize) {
        result.refusal = u"is larger than 4 MiB";
        return result;
    }
    if (std::optional<ImportedObject> object = ClassifyDer(bytes)) {
        result.objects.push_back(std::move(*object));
        return result;
    }
    if (bytes.find(kPemStart) != std::string_view::npos)
        return ClassifyPem(bytes);
    result.refusal = std::u16string(kNotImportable);
    return result;
}

ImportClassification ReadImportFile(const std::filesystem::path& source) {
    ImportClassification result;
    // A look before opening keeps a device from being opened at all; the check after opening is
    // the one that counts.
    struct stat status {};
    if (::stat(source.c_str(), &status) != 0) {
        result.refusal = u"cannot be opened (" + ErrnoText(errno) + u")";
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        result.refusal = S_ISDIR(status.st_mode) ? u"is a folder" : u"is not a regular file";
        return result;
    }
    const UniqueFd file(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) {
        result.refusal = u"cannot be opened (" + ErrnoText(errno) + u")";
        return result;
    }
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        result.refusal = u"is not a regular file";
        return result;
    }
    if (status.st_size < 0 || static_cast<std::uintmax_t>(status.st_size) > kMaxImportFileSize) {
        result.refusal = u"is larger than 4 MiB";
        return result;
    }
    // Read to the end, but never more than the limit: the file may grow meanwhile.
    std::string bytes(kMaxImportFileSize + 1, '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.refusal = u"cannot be read (" + ErrnoText(errno) + u")";
            return result;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return ClassifyImportBytes(bytes);
}

std::string_view ImportExtension(ImportKind kind) {
    switch (kind) {
    case ImportKind::Certificate:
        return ".crt";
    case ImportKind::PrivateKey:
        return ".key";
    case ImportKind::Request:
        return ".csr";
    }
    return {};
}

ImportPlan PlanImport(std::span<const std::filesystem::path> sources) {
    ImportPlan plan;
    std::set<std::string> taken;
    for (const std::filesystem::path& source : sources) {
        ImportClassification classification = ReadImportFile(source);
        if (classification.refused()) {
            plan.refusals.push_back({source, std::move(classification.refusal)});
            continue;
        }
        const std::string base = BaseName(source);
        for (ImportedObject& object : classification.objects) {
            const std::string_view extension = ImportExtension(object.kind);
            std::string name = base + std::string(extension);
            for (int n = 2; taken.contains(name); ++n)
                name = base + "-" + std::to_string(n) + std::string(extension);
            taken.insert(name);
            plan.items.push_back({source, std::filesystem::path(name), std::move(object)});
        }
    }
    return plan;
}

ImportTarget ImportTargetOf(const std::filesystem::path& folder,
                            const std::filesystem::path& fileName) {
    struct stat status {};
    if (::lstat((folder / fileName).c_str(), &status) != 0)
        return errno == ENOENT ? ImportTarget::Free : ImportTarget::Exists;
    return S_ISDIR(status.st_mode) ? ImportTarget::Folder : ImportTarget::Exists;
}

std::error_code WriteImportedFile(const std::filesystem::path& folder,
                                  const std::filesystem::path& fileName,
                                  const ImportedObject& object) {
    const auto failure = [](int error) { return std::error_code(error, std::generic_category()); };
    const UniqueFd directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() < 0)
        return failure(errno);

    // A hidden name without a listed extension, so that the refresh never shows it.
    const mode_t mode = object.kind == ImportKind::PrivateKey ? 0600 : 0666;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        unsigned char random[8];
        if (RAND_bytes(random, sizeof random) != 1)
            return failure(EIO);
        temporary = ".quillet-import-";
        for (unsigned char byte : random) {
            constexpr char kHex[] = "0123456789abcdef";
            temporary += kHex[byte >> 4];
            temporary += kHex[byte & 0xF];
        }
        temporary += ".part";
        fd = ::openat(directory.get(), temporary.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
        if (fd < 0 && errno != EEXIST)
            return failure(errno);
    }
    if (fd < 0)
        return failure(EEXIST);
    UniqueFd file(fd);

    const auto discard = [&](int error) {
        if (file.get() >= 0)
            file.Close();
        ::unlinkat(directory.get(), temporary.c_str(), 0);
        return failure(error);
    };
    std::size_t done = 0;
    while (done < object.bytes.size()) {
        const ssize_t n =
            ::write(file.get(), object.bytes.data() + done, object.bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return discard(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(file.get()) != 0)
        return discard(errno);
    if (file.Close() != 0)
        return discard(errno);
    // rename replaces whatever has the name, a link included, in one step and never follows it.
    if (::renameat(directory.get(), temporary.c_str(), directory.get(), fileName.c_str()) != 0)
        return discard(errno);
    ::fsync(directory.get());
    return {};
}

ImportOutcome ImportFiles(std::span<const std::filesystem::path> sources,
                          const std::filesystem::path& folder,
                          const ConfirmReplace& confirmReplace) {
    ImportOutcome outcome;
    struct stat status {};
    if (folder.empty() || ::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        for (const std::filesystem::path& source : sources)
            outcome.refusals.push_back({source, u"the certificate folder is not available"});
        return outcome;
    }
    ImportPlan plan = PlanImport(sources);
    outcome.refusals = std::move(plan.refusals);
    for (const ImportItem& item : plan.items) {
        const std::u16string name = PathToDisplayText(item.fileName);
        switch (ImportTargetOf(folder, item.fileName)) {
        case ImportTarget::Folder:
            outcome.refusals.push_back(
                {item.source, u"cannot be written as " + name + u": a folder has that name"});
            continue;
        case ImportTarget::Exists:
            if (!confirmReplace(folder / item.fileName))
                continue;
            break;
        case ImportTarget::Free:
            break;
        }
        if (const std::error_code error = WriteImportedFile(folder, item.fileName, item.object)) {
            outcome.refusals.push_back({item.source, u"could not be written as " + name + u" (" +
                                                         Utf8ToUtf16(error.message()) + u")"});
            continue;
        }
        outcome.written.push_back(folder / item.fileName);
    }
    return outcome;
}

std::u16string ImportRefusalText(std::span<const ImportRefusal> refusals) {
    std::u16string text = u"These files were not brought into the certificate folder:\n";
    for (const ImportRefusal& refusal : refusals)
        text += u"\n" + PathToDisplayText(refusal.source) + u": " + refusal.reason + u".";
    return text;
}
