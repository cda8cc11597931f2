// Certificates and other DER/PEM objects made with the OpenSSL API for tests. Every setting has a
// plain default, so a test states only what it is about; the raw settings (string types and bytes,
// extension values, time strings, identifiers) allow malformed and hostile shapes as well.
// Failures of OpenSSL throw std::runtime_error.
#pragma once

#include "inspect/openssl_ptr.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A key pair to certify or to sign with.
struct KeyParams {
    enum class Kind { Rsa, Ec, Ed25519 };

    Kind kind = Kind::Rsa;
    int rsaBits = 2048;
    std::string curve; // group name for Kind::Ec, e.g. "P-256"

    static KeyParams Rsa(int bits);
    static KeyParams Ec(std::string curve);
    static KeyParams Ed25519();
};

// The key for `params`, generated once per process and kept until it ends (key generation is slow).
EVP_PKEY* TestKey(const KeyParams& params);

// One attribute of a distinguished name. `value` is stored unchanged as the content of a string of
// ASN.1 type `type` (V_ASN1_UTF8STRING, V_ASN1_PRINTABLESTRING, V_ASN1_BMPSTRING, ...), so it may
// hold any bytes, NUL included. With `sameRdnAsPrevious` the attribute joins the previous one's
// relative distinguished name instead of starting a new one.
struct NameAttribute {
    std::string oid;
    int type = V_ASN1_UTF8STRING;
    std::string value;
    bool sameRdnAsPrevious = false;
};
using NameList = std::vector<NameAttribute>;

inline NameAttribute Attr(const std::string& oid, std::string value, int type = V_ASN1_UTF8STRING,
                          bool sameRdnAsPrevious = false) {
    return NameAttribute{oid, type, std::move(value), sameRdnAsPrevious};
}

// Big-endian UTF-16 bytes: the content of a BMPString.
inline std::string Bmp(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit >> 8));
        bytes.push_back(static_cast<char>(unit & 0xFF));
    }
    return bytes;
}

// One entry of a subject alternative name extension; `value` is raw bytes (for an IP address the
// address bytes, of any length; for a registered ID the dotted identifier).
struct SanEntry {
    enum class Kind { Uri, Dns, Ip, Email, RegisteredId };

    Kind kind = Kind::Uri;
    std::string value;

    static SanEntry Uri(std::string text);
    static SanEntry Dns(std::string text);
    static SanEntry Ip(std::string addressBytes);
    static SanEntry Email(std::string text);
    static SanEntry RegisteredId(std::string oid);
};

// A validity time: UTC seconds since 1970-01-01 (OpenSSL picks UTCTime for 1950-2049 and
// GeneralizedTime otherwise), or a raw string stored unchanged under the chosen ASN.1 type.
struct CertTime {
    std::optional<long long> utcSeconds;
    int type = V_ASN1_UTCTIME;
    std::string text;

    static CertTime Utc(long long seconds);
    static CertTime UtcTime(std::string text);         // e.g. "240101000000Z"
    static CertTime GeneralizedTime(std::string text); // e.g. "20240101000000Z"
    static CertTime Raw(int type, std::string text);
};

// A certificate that signs others: its subject becomes their issuer, its key signs them.
struct CertAuthority {
    std::shared_ptr<X509> cert;
    KeyParams key;
};

class CertBuilder {
public:
    // Defaults: RSA-2048, SHA-256, subject CN "Quillet Test", self-signed, serial 1, no
    // extensions, valid from 2024-01-01 00:00:00 UTC to 2034-01-01 00:00:00 UTC.
    CertBuilder();

    CertBuilder& Key(KeyParams key);
    // The digest name for signing ("SHA256", "SHA1", "MD5", ...); empty for keys that sign
    // without a separate digest (Ed25519).
    CertBuilder& Digest(std::string name);
    // Signs with RSA-PSS padding instead of PKCS #1 v1.5 (RSA signing keys only).
    CertBuilder& RsaPss(bool on = true);
    CertBuilder& Subject(NameList name);
    // An issuer name that differs from the signer's subject; by default the issuer is the
    // authority's subject, or the certificate's own subject when it is self-signed.
    CertBuilder& Issuer(NameList name);
    CertBuilder& SignedBy(const CertAuthority& authority);
    CertBuilder& Serial(long long serial);
    CertBuilder& NotBefore(CertTime time);
    CertBuilder& NotAfter(CertTime time);

    // Extensions are written in the order in which they are added; repeats are kept.
    CertBuilder& San(std::vector<SanEntry> entries);
    // A subject alternative name extension whose value is these bytes, decodable or not.
    CertBuilder& RawSan(std::string value);
    CertBuilder& RawExtension(std::string oid, std::string value, bool critical = false);

    // After signing, replaces the signature algorithm identifier inside the to-be-signed part
    // (the outer one and the signature stay as they were).
    CertBuilder& TbsSignatureOid(std::string oid);
    // Replaces the subject public key with `keyBytes` under the algorithm `oid`.
    CertBuilder& PublicKey(std::string oid, std::string keyBytes);

    UniqueX509 Build() const;
    std::string BuildDer() const;
    // The certificate with basicConstraints CA:TRUE, ready to sign others.
    CertAuthority BuildAuthority() const;

private:
    struct Extension {
        std::string oid;
        bool critical = false;
        std::optional<std::vector<SanEntry>> san;
        std::string raw;
    };

    UniqueX509 BuildWith(bool authority) const;

    KeyParams m_key;
    std::string m_digest = "SHA256";
    bool m_rsaPss = false;
    NameList m_subject;
    std::optional<NameList> m_issuer;
    std::optional<CertAuthority> m_authority;
    long long m_serial = 1;
    CertTime m_notBefore;
    CertTime m_notAfter;
    std::vector<Extension> m_extensions;
    std::optional<std::string> m_tbsSignatureOid;
    std::optional<std::pair<std::string, std::string>> m_publicKey;
};

// The DER value of a subject alternative name extension (GeneralNames) holding `entries`.
std::string AltNameDer(const std::vector<SanEntry>& entries);

// An X509_NAME with `attributes`, in order.
UniqueX509Name MakeName(const NameList& attributes);

std::string CertificateDer(const X509* cert);
// PEM text ("-----BEGIN CERTIFICATE-----") of DER certificate bytes.
std::string DerToPem(std::string_view der);
std::string PrivateKeyPem(const KeyParams& key);
std::string PrivateKeyDer(const KeyParams& key);
std::string PublicKeyDer(const KeyParams& key);
// A DER certificate signing request for `subject`, signed with SHA-256.
std::string CsrDer(const KeyParams& key, const NameList& subject);
