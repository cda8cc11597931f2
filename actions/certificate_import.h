// Bringing dropped files into the certificate folder: what a file holds, the names its contents
// get, and writing each of them whole or not at all.
//
// Content is recognised by parsing it with OpenSSL, never by the file's name:
// - a certificate (DER, or PEM "CERTIFICATE", "X509 CERTIFICATE", "TRUSTED CERTIFICATE") becomes
//   `<base>.crt` holding exactly its DER bytes, one file per certificate of a PEM bundle;
// - a private key becomes `<base>.key` in PEM, mode 0600 from its creation: a PEM block is written
//   again with its label, headers and bytes as read (so an encrypted key stays encrypted); a DER
//   key is written as PKCS #8 PEM ("PRIVATE KEY"), a DER encrypted PKCS #8 key as "ENCRYPTED
//   PRIVATE KEY";
// - a certificate signing request becomes `<base>.csr` in PEM, its block as read, or a DER
//   request under "CERTIFICATE REQUEST".
// `<base>` is the dropped file's name without its last extension. The second object of a name
// within one drop gets `<base>-2`, the third `<base>-3`, and so on, so a bundle of three
// certificates gives web.crt, web-2.crt and web-3.crt. Text outside PEM blocks and "EC
// PARAMETERS" blocks (which `openssl ecparam -genkey` writes before the key) are passed over;
// any other block, or a block that does not parse, refuses the whole file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// Dropped files larger than this are not read; the largest system bundles are far smaller.
inline constexpr std::size_t kMaxImportFileSize = 4 * 1024 * 1024;

enum class ImportKind { Certificate, PrivateKey, Request };

// One file to be written: its kind and its complete contents.
struct ImportedObject {
    ImportKind kind = ImportKind::Certificate;
    std::string bytes;

    friend bool operator==(const ImportedObject&, const ImportedObject&) = default;
};

// What one dropped file brings: its objects in file order, or why it brings nothing.
struct ImportClassification {
    std::vector<ImportedObject> objects;
    std::u16string refusal; // empty when `objects` is not

    bool refused() const { return objects.empty(); }
};

// The objects in `bytes` (one DER object, or PEM text with one or more blocks).
ImportClassification ClassifyImportBytes(std::string_view bytes);

// Reads the file at `source` (a link is followed) without blocking on a FIFO or a device and
// without reading more than kMaxImportFileSize bytes, then classifies its bytes.
ImportClassification ReadImportFile(const std::filesystem::path& source);

// The extension of the files of `kind`: ".crt", ".key" or ".csr".
std::string_view ImportExtension(ImportKind kind);

// One output of a drop: the dropped file, the name in the folder, the contents.
struct ImportItem {
    std::filesystem::path source;
    std::filesystem::path fileName; // a single component
    ImportedObject object;
};

// A dropped file, or one output of it, that was not written, and why (a sentence fragment such
// as "is not a certificate, private key or certificate request").
struct ImportRefusal {
    std::filesystem::path source;
    std::u16string reason;
};

struct ImportPlan {
    std::vector<ImportItem> items;
    std::vector<ImportRefusal> refusals;
};

// Reads and classifies every file of `sources`, in order, and names its outputs.
ImportPlan PlanImport(std::span<const std::filesystem::path> sources);

enum class ImportTarget {
    Free,   // nothing has the name
    Exists, // a file or a link (even a broken one) has it: replaced only after the question
    Folder, // a folder has it: never replaced
};

// What has `fileName` in `folder` (links are not followed).
ImportTarget ImportTargetOf(const std::filesystem::path& folder,
                            const std::filesystem::path& fileName);

// Writes `bytes` as `fileName` in `folder`: into a new file with a private name in the folder,
// created exclusively with the kind's mode (0600 for a key, else 0666 less the umask), synced,
// then renamed over the name. A link of that name is replaced, never written through. Either
// the whole file is in place or nothing changed. Returns the failure, or an empty code.
std::error_code WriteImportedFile(const std::filesystem::path& folder,
                                  const std::filesystem::path& fileName,
                                  const ImportedObject& object);

struct ImportOutcome {
    std::vector<std::filesystem::path> written; // full paths, in the order written
    std::vector<ImportRefusal> refusals;
};

// Asked before an existing name is replaced; true replaces it, false skips that output.
using ConfirmReplace = std::function<bool(const std::filesystem::path& target)>;

// Brings `sources` into `folder`: plans, asks `confirmReplace` for each output whose name is taken,
// and writes. Every file that is not written for another reason than a declined question is
// among the refusals.
ImportOutcome ImportFiles(std::span<const std::filesystem::path> sources,
                          const std::filesystem::path& folder,
                          const ConfirmReplace& confirmReplace);

// The text of the one box that lists the refusals, one line per refusal.
std::u16string ImportRefusalText(std::span<const ImportRefusal> refusals);
