#include "inspect/light_certificate.h"

#include "inspect/openssl_ptr.h"

#include <openssl/asn1t.h>
#include <openssl/ec.h>
#include <openssl/objects.h>

#include <array>
#include <bit>
#include <cstddef>
#include <span>

namespace {

// The same templates as OpenSSL's certificate and to-be-signed structures, in the same order and
// with the same tagging and optionality, so that the same bytes are accepted and refused. Only the
// public key differs: OpenSSL reads this very SEQUENCE and then also decodes the key, but keeps
// the certificate when that fails.
// clang-format off
ASN1_SEQUENCE(LightPublicKey) = {
    ASN1_SIMPLE(LightPublicKey, algorithm, X509_ALGOR),
    ASN1_SIMPLE(LightPublicKey, key, ASN1_BIT_STRING)
} static_ASN1_SEQUENCE_END(LightPublicKey)

ASN1_SEQUENCE(LightTbsCertificate) = {
    ASN1_EXP_OPT(LightTbsCertificate, version, ASN1_INTEGER, 0),
    ASN1_EMBED(LightTbsCertificate, serialNumber, ASN1_INTEGER),
    ASN1_EMBED(LightTbsCertificate, signature, X509_ALGOR),
    ASN1_SIMPLE(LightTbsCertificate, issuer, X509_NAME),
    ASN1_EMBED(LightTbsCertificate, validity, X509_VAL),
    ASN1_SIMPLE(LightTbsCertificate, subject, X509_NAME),
    ASN1_SIMPLE(LightTbsCertificate, publicKey, LightPublicKey),
    ASN1_IMP_OPT(LightTbsCertificate, issuerUid, ASN1_BIT_STRING, 1),
    ASN1_IMP_OPT(LightTbsCertificate, subjectUid, ASN1_BIT_STRING, 2),
    ASN1_EXP_SEQUENCE_OF_OPT(LightTbsCertificate, extensions, X509_EXTENSION, 3)
} static_ASN1_SEQUENCE_END(LightTbsCertificate)

ASN1_SEQUENCE(LightCertificate) = {
    ASN1_EMBED(LightCertificate, tbs, LightTbsCertificate),
    ASN1_EMBED(LightCertificate, signatureAlgorithm, X509_ALGOR),
    ASN1_EMBED(LightCertificate, signature, ASN1_BIT_STRING)
} static_ASN1_SEQUENCE_END(LightCertificate);
// clang-format on

using Bytes = std::span<const unsigned char>;

// Reads DER elements one after another and refuses whatever is not strict DER: an indefinite or
// longer than needed length, or contents that run past the end.
class StrictDerReader {
public:
    explicit StrictDerReader(Bytes bytes) : m_rest(bytes) {}

    bool AtEnd() const { return m_rest.empty(); }

    // The contents of the next element, which must carry `tag`.
    std::optional<Bytes> Read(unsigned char tag) {
        if (m_rest.size() < 2 || m_rest[0] != tag)
            return std::nullopt;
        std::size_t length = m_rest[1];
        std::size_t headerSize = 2;
        if (length >= 0x80) {
            const std::size_t lengthBytes = length & 0x7F;
            // No indefinite length, nothing beyond what any key here needs, no leading zero.
            if (lengthBytes == 0 || lengthBytes > 3 || m_rest.size() < 2 + lengthBytes ||
                m_rest[2] == 0)
                return std::nullopt;
            length = 0;
            for (std::size_t i = 0; i < lengthBytes; ++i)
                length = (length << 8) | m_rest[2 + i];
            if (length < 0x80)
                return std::nullopt;
            headerSize += lengthBytes;
        }
        if (m_rest.size() - headerSize < length)
            return std::nullopt;
        const Bytes contents = m_rest.subspan(headerSize, length);
        m_rest = m_rest.subspan(headerSize + length);
        return contents;
    }

private:
    Bytes m_rest;
};

constexpr unsigned char kSequenceTag = 0x30;
constexpr unsigned char kIntegerTag = 0x02;

// The magnitude of a positive INTEGER in minimal form, without its sign byte; nothing for zero,
// a negative value or a redundant leading byte.
std::optional<Bytes> PositiveMinimalInteger(Bytes contents) {
    if (contents.empty() || (contents[0] & 0x80) != 0)
        return std::nullopt;
    if (contents[0] != 0)
        return contents;
    if (contents.size() < 2 || (contents[1] & 0x80) == 0)
        return std::nullopt;
    return contents.subspan(1);
}

int BitCount(Bytes magnitude) {
    return static_cast<int>((magnitude.size() - 1) * 8) +
           std::bit_width(static_cast<unsigned>(magnitude[0]));
}

// OpenSSL decodes keys of any size; past this one the light path leaves them to it.
constexpr int kLargestRsaBits = 16384;

// RSAPublicKey ::= SEQUENCE { modulus INTEGER, publicExponent INTEGER }, and nothing after it.
std::optional<int> RsaModulusBits(Bytes key) {
    StrictDerReader outer(key);
    const std::optional<Bytes> sequence = outer.Read(kSequenceTag);
    if (!sequence || !outer.AtEnd())
        return std::nullopt;
    StrictDerReader inner(*sequence);
    const std::optional<Bytes> modulus = inner.Read(kIntegerTag);
    const std::optional<Bytes> exponent = inner.Read(kIntegerTag);
    if (!modulus || !exponent || !inner.AtEnd())
        return std::nullopt;
    const std::optional<Bytes> magnitude = PositiveMinimalInteger(*modulus);
    if (!magnitude || !PositiveMinimalInteger(*exponent))
        return std::nullopt;
    const int bits = BitCount(*magnitude);
    if (bits > kLargestRsaBits)
        return std::nullopt;
    return bits;
}

struct NamedCurve {
    int nid = NID_undef;
    // Made as OpenSSL makes the group of a decoded key, so that points are checked the same way.
    UniqueEcGroup group;
    std::size_t uncompressedSize = 0;
    int orderBits = 0;
};

// Made once, on first use, and kept until the process ends. A curve whose group cannot be made is
// left without one, and its keys go to the full decoder.
const std::array<NamedCurve, 3>& NamedCurves() {
    static const std::array<NamedCurve, 3> curves = [] {
        std::array<NamedCurve, 3> made;
        const int nids[] = {NID_X9_62_prime256v1, NID_secp384r1, NID_secp521r1};
        for (std::size_t i = 0; i < made.size(); ++i) {
            made[i].nid = nids[i];
            made[i].group.reset(EC_GROUP_new_by_curve_name(nids[i]));
            if (!made[i].group)
                continue;
            const int degree = EC_GROUP_get_degree(made[i].group.get());
            made[i].uncompressedSize = 1 + 2 * ((static_cast<std::size_t>(degree) + 7) / 8);
            made[i].orderBits = EC_GROUP_order_bits(made[i].group.get());
        }
        return made;
    }();
    return curves;
}

constexpr unsigned char kUncompressedPoint = 0x04;

std::optional<int> EcOrderBits(const void* parameter, Bytes point) {
    const int curveNid = OBJ_obj2nid(static_cast<const ASN1_OBJECT*>(parameter));
    for (const NamedCurve& curve : NamedCurves()) {
        if (curve.nid != curveNid)
            continue;
        if (!curve.group || curve.orderBits <= 0 || point.size() != curve.uncompressedSize ||
            point[0] != kUncompressedPoint)
            return std::nullopt;
        // The same check as when the key is decoded: coordinates in range and on the curve.
        const UniqueEcPoint decoded(EC_POINT_new(curve.group.get()));
        if (!decoded || EC_POINT_oct2point(curve.group.get(), decoded.get(), point.data(),
                                           point.size(), nullptr) != 1)
            return std::nullopt;
        return curve.orderBits;
    }
    return std::nullopt;
}

} // namespace

void LightCertificateDelete::operator()(LightCertificate* certificate) const noexcept {
    ASN1_item_free(reinterpret_cast<ASN1_VALUE*>(certificate), ASN1_ITEM_rptr(LightCertificate));
}

UniqueLightCertificate DecodeLightCertificate(const unsigned char** in, long length) {
    return UniqueLightCertificate(reinterpret_cast<LightCertificate*>(
        ASN1_item_d2i(nullptr, in, length, ASN1_ITEM_rptr(LightCertificate))));
}

std::optional<int> LightPublicKeyBits(const LightPublicKey& publicKey) {
    if (publicKey.algorithm == nullptr || publicKey.key == nullptr)
        return std::nullopt;
    const ASN1_BIT_STRING* bits = publicKey.key;
    // OpenSSL clears unused bits from the last byte before it reads the key; leave that to it.
    if ((bits->flags & ASN1_STRING_FLAG_BITS_LEFT) != 0 && (bits->flags & 0x07) != 0)
        return std::nullopt;
    if (bits->data == nullptr || bits->length <= 0)
        return std::nullopt;
    const Bytes key(bits->data, static_cast<std::size_t>(bits->length));

    const ASN1_OBJECT* algorithm = nullptr;
    int parameterType = V_ASN1_UNDEF;
    const void* parameter = nullptr;
    X509_ALGOR_get0(&algorithm, &parameterType, &parameter, publicKey.algorithm);
    switch (OBJ_obj2nid(algorithm)) {
    case NID_rsaEncryption:
        if (parameterType != V_ASN1_NULL && parameterType != V_ASN1_UNDEF)
            return std::nullopt;
        return RsaModulusBits(key);
    case NID_X9_62_id_ecPublicKey:
        if (parameterType != V_ASN1_OBJECT || parameter == nullptr)
            return std::nullopt;
        return EcOrderBits(parameter, key);
    default:
        return std::nullopt;
    }
}
