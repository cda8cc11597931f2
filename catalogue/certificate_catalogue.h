// The per-row state of the Certificates list, and how a refresh tick brings it up to date
// without reading again the files that did not change.
#pragma once

#include "catalogue/certificate_rows.h"
#include "catalogue/folder_scan.h"
#include "inspect/certificate_decoder.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <vector>

// Row i is the file filePaths()[i] with the properties propertyLists()[i] and the validity
// validities()[i] (for a certificate that decodes), in the order of the
// folder scan. A row's properties are read when the file first appears in a rebuilt list; a later
// rebuild hands them on only while the file's device, inode, size, last-write and status-change
// times are all as they were when it was read, and the offset of local time from UTC in force is
// the one the dates were converted with, so the rows always show what reading every file again
// would show.
//
// Rescan may run on another thread than the rest: it reads the rows' scan record (listings,
// stamps, offset) and writes only the record of the reading order, never the rows themselves,
// so the rows may be read meanwhile. Rescan and Adopt must not overlap, and an update is adopted
// before the next Rescan starts.
class CertificateCatalogue {
public:
    // Reads the property list and validity of one listed file, converting its dates with the
    // given offset of local time from UTC.
    using FileReader = ListedFile (*)(const std::filesystem::path&, std::optional<long>);

    // How long after its last status change a file's time stamps are trusted to tell a later
    // rewrite apart: file systems keep them in coarse steps (down to two seconds), so a file
    // rewritten within the same step would keep its stamp. A file read earlier than this after
    // its last change is read again at the next rebuild.
    static constexpr std::chrono::nanoseconds kDefaultSettleTime = std::chrono::seconds(2);

    explicit CertificateCatalogue(FileReader reader = ReadListedFile,
                                  std::chrono::nanoseconds settleTime = kDefaultSettleTime);

    // A complete new state, built aside by Rescan and put in place by Adopt.
    struct Update {
        // Empty where a row is handed on: Adopt moves the current row's path and properties.
        std::vector<std::filesystem::path> filePaths;
        std::vector<CertPropertyList> propertyLists;
        std::vector<std::optional<CertificateValidity>> validities;
        std::vector<bool> trusted;             // the stamp was settled when the file was read
        std::vector<std::size_t> handedOnFrom; // index of the current row, or kNotHandedOn
        FolderListing listing;                 // the listing the rows were made from
        FolderListing reading;                 // the same files in reading order
        std::optional<long> utcOffset;         // in force throughout the reads, if it was one
        std::size_t filesRead = 0;
    };
    static constexpr std::size_t kNotHandedOn = static_cast<std::size_t>(-1);

    // Lists `folder`. When the list of paths differs from the current one, returns the new state
    // with every row's properties: handed on from an unchanged file, read otherwise. Returns
    // nothing when there is no difference, when the folder cannot be listed (`error.code` is set
    // then), and when `stop` is requested before every file is read. May throw std::bad_alloc.
    // The rows are untouched either way; only the record of the folder's reading order, which
    // lets an unchanged folder skip the sort, may be brought up to date.
    std::optional<Update> Rescan(const std::filesystem::path& folder, ScanError& error,
                                 std::stop_token stop = {});

    // How many threads read the files of one rescan (the calling one included) when there are
    // many to read; 1 by default.
    void SetReadThreads(unsigned threads) { m_readThreads = threads == 0 ? 1 : threads; }

    // Puts `update`, made by Rescan of this catalogue with no Adopt in between, in place.
    // `update` then holds the rows it replaced, to be freed wherever suits the caller.
    void Adopt(Update&& update) noexcept;

    std::size_t size() const { return m_filePaths.size(); }
    const std::vector<std::filesystem::path>& filePaths() const { return m_filePaths; }
    const std::vector<CertPropertyList>& propertyLists() const { return m_propertyLists; }
    const std::vector<std::optional<CertificateValidity>>& validities() const {
        return m_validities;
    }

private:
    // Reads update.propertyLists[i] for every i of `indices`, the files listed in `listing`,
    // with the dates converted with `utcOffset`; false when stopped first.
    bool ReadFiles(Update& update, const std::vector<std::size_t>& indices,
                   const FolderListing& listing, std::optional<long> utcOffset,
                   std::stop_token stop) const;

    FileReader m_reader;
    std::int64_t m_settleNs;
    unsigned m_readThreads = 1;
    std::vector<std::filesystem::path> m_filePaths;
    std::vector<CertPropertyList> m_propertyLists;
    std::vector<std::optional<CertificateValidity>> m_validities;
    std::vector<bool> m_trusted;
    FolderListing m_listing; // the listing the current rows were made from, with their stamps
    FolderListing m_reading; // the last reading whose sorted order is m_listing's
    std::optional<long> m_utcOffset; // in force when every current row was read, if known
};
