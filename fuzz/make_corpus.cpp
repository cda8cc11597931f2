// Writes the decoder fuzzer's seed corpus into a folder: certificates of the shapes the decoder
// tests build (key kinds, signers, alternative names, string types, time edges, odd extensions),
// each whole and cut at several lengths.
//
//   quillet_fuzz_corpus FOLDER
#include "support/cert_builder.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;

const std::string kCountry = "2.5.4.6";
const std::string kState = "2.5.4.8";
const std::string kLocality = "2.5.4.7";
const std::string kOrg = "2.5.4.10";
const std::string kUnit = "2.5.4.11";
const std::string kCn = "2.5.4.3";
const std::string kEmail = "1.2.840.113549.1.9.1";

NameAttribute Attr(const std::string& oid, std::string value, int type = V_ASN1_UTF8STRING) {
    return NameAttribute{oid, type, std::move(value), false};
}

using Shape = std::pair<const char*, std::function<std::string()>>;

std::vector<Shape> Shapes() {
    return {
        {"plain", [] { return CertBuilder().BuildDer(); }},
        {"full-name",
         [] {
             return CertBuilder()
                 .Subject({Attr(kCountry, "JP", V_ASN1_PRINTABLESTRING), Attr(kState, "Tokyo"),
                           Attr(kLocality, "Chiyoda"), Attr(kOrg, "Varnok"), Attr(kUnit, "Dev"),
                           Attr(kCn, "self.example"),
                           Attr(kEmail, "admin@example.jp", V_ASN1_IA5STRING)})
                 .San({SanEntry::Uri("urn:1:self"), SanEntry::Ip("\xC0\xA8\x01\x14")})
                 .BuildDer();
         }},
        {"ca-issued",
         [] {
             const CertAuthority ca = CertBuilder()
                                          .Key(KeyParams::Ec("P-256"))
                                          .Subject({Attr(kOrg, "Morvel CA"), Attr(kCn, "Root")})
                                          .BuildAuthority();
             return CertBuilder().Subject({Attr(kCn, "leaf")}).SignedBy(ca).BuildDer();
         }},
        {"ec-p384", [] { return CertBuilder().Key(KeyParams::Ec("P-384")).BuildDer(); }},
        {"ed25519", [] { return CertBuilder().Key(KeyParams::Ed25519()).Digest("").BuildDer(); }},
        {"rsa-pss", [] { return CertBuilder().RsaPss().BuildDer(); }},
        {"sha1", [] { return CertBuilder().Digest("SHA1").BuildDer(); }},
        {"rsa-1024", [] { return CertBuilder().Key(KeyParams::Rsa(1024)).BuildDer(); }},
        {"alt-names",
         [] {
             return CertBuilder()
                 .San({SanEntry::Uri("https://a.example/x"), SanEntry::Dns("b.example"),
                       SanEntry::Ip("\x20\x01\x0d\xb8"s + std::string(11, '\0') + "\x01"),
                       SanEntry::Email("c@example.jp"), SanEntry::RegisteredId("1.2.3.4"),
                       SanEntry::Ip("\x0a\x00\x00"), SanEntry::Uri("urn:\0nul"s)})
                 .BuildDer();
         }},
        {"two-san-extensions",
         [] {
             return CertBuilder()
                 .San({SanEntry::Uri("urn:first")})
                 .San({SanEntry::Ip("\x7f\x00\x00\x01")})
                 .BuildDer();
         }},
        {"broken-san", [] { return CertBuilder().RawSan("\x30\x05\x86\x09zz").BuildDer(); }},
        {"other-extension",
         [] { return CertBuilder().RawExtension("1.2.3.4.5", "\x04\x02hi", true).BuildDer(); }},
        {"string-types",
         [] {
             return CertBuilder()
                 .Subject({Attr(kCn, "\0B\0M\0P"s, V_ASN1_BMPSTRING),
                           Attr(kOrg, "\0\0\0U\0\0\0n"s, V_ASN1_UNIVERSALSTRING),
                           Attr(kUnit, "T\xe9letex", V_ASN1_T61STRING),
                           Attr(kState, "bad \xff\xfe bytes", V_ASN1_PRINTABLESTRING),
                           Attr(kLocality, "multi", V_ASN1_UTF8STRING),
                           NameAttribute{kCn, V_ASN1_UTF8STRING, "same rdn", true},
                           Attr(kCountry, "J\0P"s, V_ASN1_PRINTABLESTRING)})
                 .BuildDer();
         }},
        {"time-edges",
         [] {
             return CertBuilder()
                 .NotBefore(CertTime::UtcTime("500101000000Z"))
                 .NotAfter(CertTime::GeneralizedTime("99991231235959Z"))
                 .BuildDer();
         }},
        {"time-reversed",
         [] {
             return CertBuilder()
                 .NotBefore(CertTime::UtcTime("491231235959Z"))
                 .NotAfter(CertTime::UtcTime("240101000000Z"))
                 .BuildDer();
         }},
        {"time-malformed",
         [] {
             return CertBuilder()
                 .NotBefore(CertTime::Raw(V_ASN1_UTCTIME, "2401"))
                 .NotAfter(CertTime::Raw(V_ASN1_GENERALIZEDTIME, "20241301256161+0900"))
                 .BuildDer();
         }},
        {"unknown-key",
         [] { return CertBuilder().PublicKey("1.2.3.4.5.6", "\x01\x02\x03").BuildDer(); }},
        {"unknown-signature", [] { return CertBuilder().TbsSignatureOid("1.2.3.99").BuildDer(); }},
    };
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 64;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    int written = 0;
    for (const auto& [name, build] : Shapes()) {
        std::string der;
        try {
            der = build();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", name, e.what());
            return 1;
        }
        // The whole certificate, then cuts inside the header, the middle and the signature.
        const std::size_t cuts[] = {der.size(),    1, 4, der.size() / 4, der.size() / 2,
                                    der.size() - 1};
        for (const std::size_t cut : cuts) {
            const std::filesystem::path path =
                folder / (std::string(name) + "-" + std::to_string(cut) + ".der");
            if (!WriteFile(path, der.substr(0, cut))) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                return 1;
            }
            ++written;
        }
    }
    // A certificate in PEM form, which the decoder does not take.
    if (!WriteFile(folder / "plain.pem", DerToPem(CertBuilder().BuildDer())))
        return 1;
    ++written;
    std::printf("%d seed files in %s\n", written, folder.c_str());
    return 0;
}
