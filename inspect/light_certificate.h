// A certificate read with OpenSSL's own certificate layout, field by field, except that the subject
// public key stays what the bytes say (its algorithm identifier and its bit string) instead of
// being decoded into a key, which is most of what d2i_X509 spends on a certificate.
#pragma once

#include <openssl/asn1.h>
#include <openssl/x509.h>

#include <memory>
#include <optional>

struct LightPublicKey {
    X509_ALGOR* algorithm;
    ASN1_BIT_STRING* key;
};

// The members that OpenSSL embeds in its own certificate structure are embedded here as well.
struct LightTbsCertificate {
    ASN1_INTEGER* version;
    ASN1_INTEGER serialNumber;
    X509_ALGOR signature;
    X509_NAME* issuer;
    X509_VAL validity;
    X509_NAME* subject;
    LightPublicKey* publicKey;
    ASN1_BIT_STRING* issuerUid;
    ASN1_BIT_STRING* subjectUid;
    STACK_OF(X509_EXTENSION) * extensions;
};

struct LightCertificate {
    LightTbsCertificate tbs;
    X509_ALGOR signatureAlgorithm;
    ASN1_BIT_STRING signature;
};

struct LightCertificateDelete {
    void operator()(LightCertificate* certificate) const noexcept;
};

using UniqueLightCertificate = std::unique_ptr<LightCertificate, LightCertificateDelete>;

// Decodes one certificate at `*in` and moves `*in` past it, as d2i_X509 does. Null where d2i_X509
// would fail as well; where it succeeds, d2i_X509 succeeds on the same bytes too, short of running
// out of memory (OpenSSL does not reject a certificate whose key does not decode).
UniqueLightCertificate DecodeLightCertificate(const unsigned char** in, long length);

// What EVP_PKEY_bits gives for this key once d2i_X509 has decoded the certificate, for the shapes
// whose answer is certain without OpenSSL's key decoders: RSA keys in strict DER, and uncompressed
// points that lie on P-256, P-384 or P-521. Nothing for any other key, nor for one that OpenSSL
// would fail to decode.
std::optional<int> LightPublicKeyBits(const LightPublicKey& publicKey);
