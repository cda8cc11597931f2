// Ownership of OpenSSL objects: one deleter type and a std::unique_ptr alias per object type.
#pragma once

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

struct OpenSslDelete {
    void operator()(X509* p) const noexcept { X509_free(p); }
    void operator()(X509_REQ* p) const noexcept { X509_REQ_free(p); }
    void operator()(X509_NAME* p) const noexcept { X509_NAME_free(p); }
    void operator()(X509_EXTENSION* p) const noexcept { X509_EXTENSION_free(p); }
    void operator()(GENERAL_NAME* p) const noexcept { GENERAL_NAME_free(p); }
    void operator()(GENERAL_NAMES* p) const noexcept { GENERAL_NAMES_free(p); }
    void operator()(BASIC_CONSTRAINTS* p) const noexcept { BASIC_CONSTRAINTS_free(p); }
    // ASN1_INTEGER, ASN1_TIME, ASN1_OCTET_STRING, ASN1_IA5STRING and the other string types are
    // all the same structure.
    void operator()(ASN1_STRING* p) const noexcept { ASN1_STRING_free(p); }
    void operator()(ASN1_OBJECT* p) const noexcept { ASN1_OBJECT_free(p); }
    void operator()(EVP_PKEY* p) const noexcept { EVP_PKEY_free(p); }
    void operator()(EVP_PKEY_CTX* p) const noexcept { EVP_PKEY_CTX_free(p); }
    void operator()(EVP_MD_CTX* p) const noexcept { EVP_MD_CTX_free(p); }
    void operator()(BIO* p) const noexcept { BIO_free(p); }
    void operator()(X509_SIG* p) const noexcept { X509_SIG_free(p); }
    void operator()(PKCS8_PRIV_KEY_INFO* p) const noexcept { PKCS8_PRIV_KEY_INFO_free(p); }
    void operator()(EC_GROUP* p) const noexcept { EC_GROUP_free(p); }
    void operator()(EC_POINT* p) const noexcept { EC_POINT_free(p); }
    // Buffers that OpenSSL allocates for the caller (i2d_* with a null output pointer).
    void operator()(unsigned char* p) const noexcept { OPENSSL_free(p); }
    // Texts that OpenSSL allocates for the caller (the label and headers of PEM_read_bio).
    void operator()(char* p) const noexcept { OPENSSL_free(p); }
};

using UniqueX509 = std::unique_ptr<X509, OpenSslDelete>;
using UniqueX509Req = std::unique_ptr<X509_REQ, OpenSslDelete>;
using UniqueX509Name = std::unique_ptr<X509_NAME, OpenSslDelete>;
using UniqueX509Extension = std::unique_ptr<X509_EXTENSION, OpenSslDelete>;
using UniqueGeneralName = std::unique_ptr<GENERAL_NAME, OpenSslDelete>;
using UniqueGeneralNames = std::unique_ptr<GENERAL_NAMES, OpenSslDelete>;
using UniqueBasicConstraints = std::unique_ptr<BASIC_CONSTRAINTS, OpenSslDelete>;
using UniqueAsn1String = std::unique_ptr<ASN1_STRING, OpenSslDelete>;
using UniqueAsn1Object = std::unique_ptr<ASN1_OBJECT, OpenSslDelete>;
using UniqueEvpPkey = std::unique_ptr<EVP_PKEY, OpenSslDelete>;
using UniqueEvpPkeyCtx = std::unique_ptr<EVP_PKEY_CTX, OpenSslDelete>;
using UniqueEvpMdCtx = std::unique_ptr<EVP_MD_CTX, OpenSslDelete>;
using UniqueBio = std::unique_ptr<BIO, OpenSslDelete>;
using UniqueX509Sig = std::unique_ptr<X509_SIG, OpenSslDelete>;
using UniquePkcs8 = std::unique_ptr<PKCS8_PRIV_KEY_INFO, OpenSslDelete>;
using UniqueEcGroup = std::unique_ptr<EC_GROUP, OpenSslDelete>;
using UniqueEcPoint = std::unique_ptr<EC_POINT, OpenSslDelete>;
using UniqueOpenSslBytes = std::unique_ptr<unsigned char, OpenSslDelete>;
using UniqueOpenSslText = std::unique_ptr<char, OpenSslDelete>;

// Removes the errors that the code in its scope leaves in the thread's OpenSSL error queue, and
// only those.
class OpenSslErrorScope {
public:
    OpenSslErrorScope() { ERR_set_mark(); }
    ~OpenSslErrorScope() { ERR_pop_to_mark(); }
    OpenSslErrorScope(const OpenSslErrorScope&) = delete;
    OpenSslErrorScope& operator=(const OpenSslErrorScope&) = delete;
};
