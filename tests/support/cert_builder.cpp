#include "support/cert_builder.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>

namespace {

[[noreturn]] void Fail(const std::string& what) {
    std::string message = "cert_builder: " + what;
    while (const unsigned long code = ERR_get_error()) {
        char text[256];
        ERR_error_string_n(code, text, sizeof text);
        message += "; ";
        message += text;
    }
    throw std::runtime_error(message);
}

int CheckedLength(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX))
        Fail("value too long");
    return static_cast<int>(size);
}

const unsigned char* UBytes(const std::string& bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.data());
}

UniqueAsn1Object MakeObject(const std::string& oid) {
    UniqueAsn1Object object(OBJ_txt2obj(oid.c_str(), 1));
    if (!object)
        Fail("bad object identifier " + oid);
    return object;
}

UniqueAsn1String MakeString(int type, const std::string& bytes) {
    UniqueAsn1String string(ASN1_STRING_type_new(type));
    if (!string || !ASN1_STRING_set(string.get(), bytes.data(), CheckedLength(bytes.size())))
        Fail("ASN1_STRING_set");
    return string;
}

std::string CacheKey(const KeyParams& params) {
    switch (params.kind) {
    case KeyParams::Kind::Rsa:
        return "RSA:" + std::to_string(params.rsaBits);
    case KeyParams::Kind::Ec:
        return "EC:" + params.curve;
    case KeyParams::Kind::Ed25519:
        return "ED25519";
    }
    Fail("unknown key kind");
}

UniqueEvpPkey GenerateKey(const KeyParams& params) {
    EVP_PKEY* key = nullptr;
    switch (params.kind) {
    case KeyParams::Kind::Rsa:
        key = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(params.rsaBits));
        break;
    case KeyParams::Kind::Ec:
        key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", params.curve.c_str());
        break;
    case KeyParams::Kind::Ed25519:
        key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
        break;
    }
    if (key == nullptr)
        Fail("key generation for " + CacheKey(params));
    return UniqueEvpPkey(key);
}

// Output of an i2d_* function as bytes.
template <typename T, typename Encode> std::string EncodeDer(const T* object, Encode encode) {
    unsigned char* raw = nullptr;
    const int length = encode(object, &raw);
    UniqueOpenSslBytes owned(raw);
    if (length <= 0 || raw == nullptr)
        Fail("DER encoding");
    return std::string(reinterpret_cast<const char*>(raw), static_cast<std::size_t>(length));
}

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    if (length <= 0 || data == nullptr)
        Fail("empty PEM output");
    return std::string(data, static_cast<std::size_t>(length));
}

UniqueBio MemoryBio() {
    UniqueBio bio(BIO_new(BIO_s_mem()));
    if (!bio)
        Fail("BIO_new");
    return bio;
}

} // namespace

std::string AltNameDer(const std::vector<SanEntry>& entries) {
    UniqueGeneralNames names(sk_GENERAL_NAME_new_null());
    if (!names)
        Fail("sk_GENERAL_NAME_new_null");
    for (const SanEntry& entry : entries) {
        UniqueGeneralName name(GENERAL_NAME_new());
        if (!name)
            Fail("GENERAL_NAME_new");
        switch (entry.kind) {
        case SanEntry::Kind::Uri:
            GENERAL_NAME_set0_value(name.get(), GEN_URI,
                                    MakeString(V_ASN1_IA5STRING, entry.value).release());
            break;
        case SanEntry::Kind::Dns:
            GENERAL_NAME_set0_value(name.get(), GEN_DNS,
                                    MakeString(V_ASN1_IA5STRING, entry.value).release());
            break;
        case SanEntry::Kind::Email:
            GENERAL_NAME_set0_value(name.get(), GEN_EMAIL,
                                    MakeString(V_ASN1_IA5STRING, entry.value).release());
            break;
        case SanEntry::Kind::Ip:
            GENERAL_NAME_set0_value(name.get(), GEN_IPADD,
                                    MakeString(V_ASN1_OCTET_STRING, entry.value).release());
            break;
        case SanEntry::Kind::RegisteredId:
            GENERAL_NAME_set0_value(name.get(), GEN_RID, MakeObject(entry.value).release());
            break;
        }
        if (sk_GENERAL_NAME_push(names.get(), name.get()) <= 0)
            Fail("sk_GENERAL_NAME_push");
        name.release();
    }
    return EncodeDer(names.get(), [](const GENERAL_NAMES* n, unsigned char** out) {
        return i2d_GENERAL_NAMES(n, out);
    });
}

namespace {

void AddExtension(X509* cert, const std::string& oid, bool critical, const std::string& value) {
    UniqueAsn1String data = MakeString(V_ASN1_OCTET_STRING, value);
    UniqueX509Extension extension(
        X509_EXTENSION_create_by_OBJ(nullptr, MakeObject(oid).get(), critical ? 1 : 0, data.get()));
    // X509_add_ext stores a copy and appends it, even when the identifier is there already.
    if (!extension || !X509_add_ext(cert, extension.get(), -1))
        Fail("adding extension " + oid);
}

void SetTime(X509* cert, const CertTime& time, bool notBefore) {
    UniqueAsn1String value;
    if (time.utcSeconds) {
        value.reset(ASN1_TIME_set(nullptr, static_cast<time_t>(*time.utcSeconds)));
        if (!value)
            Fail("ASN1_TIME_set " + std::to_string(*time.utcSeconds));
    } else {
        value = MakeString(time.type, time.text);
    }
    const int ok =
        notBefore ? X509_set1_notBefore(cert, value.get()) : X509_set1_notAfter(cert, value.get());
    if (!ok)
        Fail("setting validity");
}

const EVP_MD* DigestByName(const std::string& name) {
    if (name.empty())
        return nullptr;
    const EVP_MD* digest = EVP_get_digestbyname(name.c_str());
    if (digest == nullptr)
        Fail("unknown digest " + name);
    return digest;
}

} // namespace

KeyParams KeyParams::Rsa(int bits) {
    return KeyParams{Kind::Rsa, bits, {}};
}
KeyParams KeyParams::Ec(std::string curve) {
    return KeyParams{Kind::Ec, 0, std::move(curve)};
}
KeyParams KeyParams::Ed25519() {
    return KeyParams{Kind::Ed25519, 0, {}};
}

EVP_PKEY* TestKey(const KeyParams& params) {
    static std::mutex mutex;
    static std::map<std::string, UniqueEvpPkey> cache;
    const std::lock_guard<std::mutex> lock(mutex);
    auto& slot = cache[CacheKey(params)];
    if (!slot)
        slot = GenerateKey(params);
    return slot.get();
}

SanEntry SanEntry::Uri(std::string text) {
    return {Kind::Uri, std::move(text)};
}
SanEntry SanEntry::Dns(std::string text) {
    return {Kind::Dns, std::move(text)};
}
SanEntry SanEntry::Ip(std::string addressBytes) {
    return {Kind::Ip, std::move(addressBytes)};
}
SanEntry SanEntry::Email(std::string text) {
    return {Kind::Email, std::move(text)};
}
SanEntry SanEntry::RegisteredId(std::string oid) {
    return {Kind::RegisteredId, std::move(oid)};
}

CertTime CertTime::Utc(long long seconds) {
    return CertTime{seconds, V_ASN1_UTCTIME, {}};
}
CertTime CertTime::UtcTime(std::string text) {
    return CertTime{std::nullopt, V_ASN1_UTCTIME, std::move(text)};
}
CertTime CertTime::GeneralizedTime(std::string text) {
    return CertTime{std::nullopt, V_ASN1_GENERALIZEDTIME, std::move(text)};
}
CertTime CertTime::Raw(int type, std::string text) {
    return CertTime{std::nullopt, type, std::move(text)};
}

CertBuilder::CertBuilder()
    : m_key(KeyParams::Rsa(2048)), m_subject{{"2.5.4.3", V_ASN1_UTF8STRING, "Quillet Test", false}},
      m_notBefore(CertTime::Utc(1704067200)), // 2024-01-01 00:00:00 UTC
      m_notAfter(CertTime::Utc(2019686400)) { // 2034-01-01 00:00:00 UTC
}

CertBuilder& CertBuilder::Key(KeyParams key) {
    m_key = std::move(key);
    return *this;
}
CertBuilder& CertBuilder::Digest(std::string name) {
    m_digest = std::move(name);
    return *this;
}
CertBuilder& CertBuilder::RsaPss(bool on) {
    m_rsaPss = on;
    return *this;
}
CertBuilder& CertBuilder::Subject(NameList name) {
    m_subject = std::move(name);
    return *this;
}
CertBuilder& CertBuilder::Issuer(NameList name) {
    m_issuer = std::move(name);
    return *this;
}
CertBuilder& CertBuilder::SignedBy(const CertAuthority& authority) {
    m_authority = authority;
    return *this;
}
CertBuilder& CertBuilder::Serial(long long serial) {
    m_serial = serial;
    return *this;
}
CertBuilder& CertBuilder::NotBefore(CertTime time) {
    m_notBefore = std::move(time);
    return *this;
}
CertBuilder& CertBuilder::NotAfter(CertTime time) {
    m_notAfter = std::move(time);
    return *this;
}
CertBuilder& CertBuilder::San(std::vector<SanEntry> entries) {
    m_extensions.push_back(Extension{"2.5.29.17", false, std::move(entries), {}});
    return *this;
}
CertBuilder& CertBuilder::RawSan(std::string value) {
    return RawExtension("2.5.29.17", std::move(value));
}
CertBuilder& CertBuilder::RawExtension(std::string oid, std::string value, bool critical) {
    m_extensions.push_back(Extension{std::move(oid), critical, std::nullopt, std::move(value)});
    return *this;
}
CertBuilder& CertBuilder::TbsSignatureOid(std::string oid) {
    m_tbsSignatureOid = std::move(oid);
    return *this;
}
CertBuilder& CertBuilder::PublicKey(std::string oid, std::string keyBytes) {
    m_publicKey.emplace(std::move(oid), std::move(keyBytes));
    return *this;
}

UniqueX509 CertBuilder::Build() const {
    return BuildWith(false);
}

std::string CertBuilder::BuildDer() const {
    return CertificateDer(Build().get());
}

CertAuthority CertBuilder::BuildAuthority() const {
    return CertAuthority{std::shared_ptr<X509>(BuildWith(true).release(), OpenSslDelete()), m_key};
}

UniqueX509 CertBuilder::BuildWith(bool authority) const {
    UniqueX509 cert(X509_new());
    if (!cert)
        Fail("X509_new");
    EVP_PKEY* key = TestKey(m_key);
    if (!X509_set_version(cert.get(), X509_VERSION_3) ||
        !ASN1_INTEGER_set_int64(X509_get_serialNumber(cert.get()), m_serial) ||
        !X509_set_pubkey(cert.get(), key))
        Fail("version, serial or key");

    const UniqueX509Name subject = MakeName(m_subject);
    if (!X509_set_subject_name(cert.get(), subject.get()))
        Fail("X509_set_subject_name");
    int issuerSet = 0;
    if (m_issuer)
        issuerSet = X509_set_issuer_name(cert.get(), MakeName(*m_issuer).get());
    else if (m_authority)
        issuerSet =
            X509_set_issuer_name(cert.get(), X509_get_subject_name(m_authority->cert.get()));
    else
        issuerSet = X509_set_issuer_name(cert.get(), subject.get());
    if (!issuerSet)
        Fail("X509_set_issuer_name");

    SetTime(cert.get(), m_notBefore, true);
    SetTime(cert.get(), m_notAfter, false);

    if (authority) {
        UniqueBasicConstraints constraints(BASIC_CONSTRAINTS_new());
        if (!constraints)
            Fail("BASIC_CONSTRAINTS_new");
        constraints->ca = 0xFF;
        if (X509_add1_ext_i2d(cert.get(), NID_basic_constraints, constraints.get(), 1,
                              X509V3_ADD_APPEND) != 1)
            Fail("basicConstraints");
    }
    for (const Extension& extension : m_extensions)
        AddExtension(cert.get(), extension.oid, extension.critical,
                     extension.san ? AltNameDer(*extension.san) : extension.raw);

    if (m_publicKey) {
        const auto& [oid, bytes] = *m_publicKey;
        if (bytes.empty())
            Fail("empty public key bytes");
        UniqueAsn1Object algorithm = MakeObject(oid);
        UniqueOpenSslBytes encoded(static_cast<unsigned char*>(OPENSSL_malloc(bytes.size())));
        if (!encoded)
            Fail("OPENSSL_malloc");
        std::memcpy(encoded.get(), bytes.data(), bytes.size());
        if (!X509_PUBKEY_set0_param(X509_get_X509_PUBKEY(cert.get()), algorithm.get(), V_ASN1_NULL,
                                    nullptr, encoded.get(), CheckedLength(bytes.size())))
            Fail("X509_PUBKEY_set0_param");
        algorithm.release();
        encoded.release();
    }

    EVP_PKEY* signer = m_authority ? TestKey(m_authority->key) : key;
    const EVP_MD* digest = DigestByName(m_digest);
    if (m_rsaPss) {
        UniqueEvpMdCtx context(EVP_MD_CTX_new());
        EVP_PKEY_CTX* keyContext = nullptr; // owned by `context`
        if (!context ||
            EVP_DigestSignInit(context.get(), &keyContext, digest, nullptr, signer) != 1 ||
            EVP_PKEY_CTX_set_rsa_padding(keyContext, RSA_PKCS1_PSS_PADDING) <= 0 ||
            X509_sign_ctx(cert.get(), context.get()) <= 0)
            Fail("RSA-PSS signing");
    } else if (X509_sign(cert.get(), signer, digest) <= 0) {
        Fail("X509_sign with " + (m_digest.empty() ? std::string("no digest") : m_digest));
    }

    if (m_tbsSignatureOid) {
        // The object lives inside `cert`, which is ours to change.
        auto* inner = const_cast<X509_ALGOR*>(X509_get0_tbs_sigalg(cert.get()));
        UniqueAsn1Object algorithm = MakeObject(*m_tbsSignatureOid);
        if (!X509_ALGOR_set0(inner, algorithm.get(), V_ASN1_NULL, nullptr))
            Fail("X509_ALGOR_set0");
        algorithm.release();
        // Drops the cached encoding of the to-be-signed part so that the change is written.
        if (i2d_re_X509_tbs(cert.get(), nullptr) <= 0)
            Fail("i2d_re_X509_tbs");
    }
    return cert;
}

UniqueX509Name MakeName(const NameList& attributes) {
    UniqueX509Name name(X509_NAME_new());
    if (!name)
        Fail("X509_NAME_new");
    for (const NameAttribute& attribute : attributes) {
        const UniqueAsn1Object object = MakeObject(attribute.oid);
        // loc -1 appends; set -1 joins the previous entry's RDN, set 0 starts a new one.
        if (!X509_NAME_add_entry_by_OBJ(
                name.get(), object.get(), attribute.type, UBytes(attribute.value),
                CheckedLength(attribute.value.size()), -1, attribute.sameRdnAsPrevious ? -1 : 0))
            Fail("X509_NAME_add_entry_by_OBJ " + attribute.oid);
    }
    return name;
}

std::string CertificateDer(const X509* cert) {
    return EncodeDer(cert, [](const X509* c, unsigned char** out) { return i2d_X509(c, out); });
}

std::string DerToPem(std::string_view der) {
    const UniqueBio bio = MemoryBio();
    if (!PEM_write_bio(bio.get(), "CERTIFICATE", "",
                       reinterpret_cast<const unsigned char*>(der.data()),
                       static_cast<long>(der.size())))
        Fail("PEM_write_bio");
    return BioText(bio.get());
}

std::string PrivateKeyPem(const KeyParams& key) {
    const UniqueBio bio = MemoryBio();
    if (!PEM_write_bio_PrivateKey(bio.get(), TestKey(key), nullptr, nullptr, 0, nullptr, nullptr))
        Fail("PEM_write_bio_PrivateKey");
    return BioText(bio.get());
}

std::string PrivateKeyDer(const KeyParams& key) {
    return EncodeDer(TestKey(key),
                     [](const EVP_PKEY* k, unsigned char** out) { return i2d_PrivateKey(k, out); });
}

std::string PublicKeyDer(const KeyParams& key) {
    return EncodeDer(TestKey(key),
                     [](const EVP_PKEY* k, unsigned char** out) { return i2d_PUBKEY(k, out); });
}

std::string CsrDer(const KeyParams& key, const NameList& subject) {
    UniqueX509Req request(X509_REQ_new());
    if (!request || !X509_REQ_set_version(request.get(), X509_REQ_VERSION_1) ||
        !X509_REQ_set_subject_name(request.get(), MakeName(subject).get()) ||
        !X509_REQ_set_pubkey(request.get(), TestKey(key)) ||
        X509_REQ_sign(request.get(), TestKey(key), EVP_sha256()) <= 0)
        Fail("building the request");
    return EncodeDer(request.get(),
                     [](const X509_REQ* r, unsigned char** out) { return i2d_X509_REQ(r, out); });
}
