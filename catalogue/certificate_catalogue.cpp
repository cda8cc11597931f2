#include "catalogue/certificate_catalogue.h"

#include <time.h>

#include <string_view>
#include <utility>

namespace {

std::int64_t RealTimeNs() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

CertificateCatalogue::CertificateCatalogue(FileReader reader, std::chrono::nanoseconds settleTime)
    : m_reader(reader), m_settleNs(settleTime.count()) {}

std::optional<CertificateCatalogue::Update>
CertificateCatalogue::Rescan(const std::filesystem::path& folder, ScanError& error) {
    // Taken before the listing, so that any change after a stamp was read lies after it.
    const std::int64_t scanStartNs = RealTimeNs();
    FolderListing reading;
    reading.names.reserve(m_reading.names.size());
    reading.entries.reserve(m_reading.entries.size());
    if (!ReadCertificateFolder(folder, reading, error))
        return std::nullopt;
    // The same names and last-write times in the same reading order sort the same way.
    if (reading.SameOrderKeysAs(m_reading))
        return std::nullopt;
    FolderListing listing = SortedFolderListing(reading);
    if (listing.SameFilesAs(m_listing)) {
        m_reading = std::move(reading);
        return std::nullopt;
    }

    // Both listings are sorted by last-write time, then by name, so one walk through both finds
    // each file's current row; a file whose last-write time changed has no row to hand on anyway.
    const std::vector<FolderListing::Entry>& current = m_listing.entries;
    const bool sameFolder = listing.folder == m_listing.folder;
    std::size_t next = 0;

    Update update;
    const std::size_t count = listing.entries.size();
    update.filePaths.reserve(count);
    update.propertyLists.reserve(count);
    update.validities.reserve(count);
    update.trusted.reserve(count);
    update.handedOnFrom.reserve(count);
    for (const FolderListing::Entry& entry : listing.entries) {
        const std::string_view name = listing.Name(entry);
        std::size_t from = kNotHandedOn;
        if (sameFolder) {
            while (next < current.size() &&
                   ListedBefore(current[next].stamp.modifiedNs, m_listing.Name(current[next]),
                                entry.stamp.modifiedNs, name))
                ++next;
            if (next < current.size() && current[next].stamp.modifiedNs == entry.stamp.modifiedNs &&
                m_listing.Name(current[next]) == name) {
                if (m_trusted[next] && current[next].stamp == entry.stamp)
                    from = next;
                ++next;
            }
        }
        if (from == kNotHandedOn) {
            std::filesystem::path path = listing.PathOf(entry);
            ListedFile file = m_reader(path);
            update.propertyLists.push_back(std::move(file.properties));
            update.validities.push_back(file.validity);
            update.filePaths.push_back(std::move(path));
            update.trusted.push_back(scanStartNs - entry.stamp.changedNs >= m_settleNs);
            ++update.filesRead;
        } else {
            // The path, the properties and the validity move over from the current row in Adopt.
            update.filePaths.emplace_back();
            update.propertyLists.emplace_back();
            update.validities.emplace_back();
            update.trusted.push_back(true);
        }
        update.handedOnFrom.push_back(from);
    }
    update.listing = std::move(listing);
    update.reading = std::move(reading);
    return update;
}

void CertificateCatalogue::Adopt(Update&& update) noexcept {
    for (std::size_t i = 0; i < update.handedOnFrom.size(); ++i) {
        if (const std::size_t from = update.handedOnFrom[i]; from != kNotHandedOn) {
            update.filePaths[i] = std::move(m_filePaths[from]);
            update.propertyLists[i] = std::move(m_propertyLists[from]);
            update.validities[i] = m_validities[from];
        }
    }
    m_filePaths.swap(update.filePaths);
    m_propertyLists.swap(update.propertyLists);
    m_validities.swap(update.validities);
    m_trusted.swap(update.trusted);
    std::swap(m_listing, update.listing);
    std::swap(m_reading, update.reading);
}
