#include "catalogue/certificate_catalogue.h"

#include <sys/stat.h>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

namespace {

// Whether `properties`, read from `path`, can stand for the file listed with `stamp`: the read
// reached the file (the open and read did not fail), and the path still names that same file.
bool ReadFromListedFile(const std::filesystem::path& path, const FileStamp& stamp,
                        const CertPropertyList& properties) {
    if (properties.size() == 1 && properties[0].name == u"Error" &&
        (properties[0].value == u"Failed to open file." ||
         properties[0].value == u"Failed to read file." ||
         properties[0].value == u"Failed to get file size."))
        return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return static_cast<std::uint64_t>(st.st_dev) == stamp.device &&
           static_cast<std::uint64_t>(st.st_ino) == stamp.inode && st.st_size == stamp.size &&
           static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec ==
               stamp.modifiedNs &&
           static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec ==
               stamp.changedNs;
}

// Below this many files per thread, another thread costs more than it saves.
constexpr std::size_t kFilesPerReadThread = 16;

std::int64_t RealTimeNs() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

CertificateCatalogue::CertificateCatalogue(FileReader reader, std::chrono::nanoseconds settleTime)
    : m_reader(reader), m_settleNs(settleTime.count()) {}

std::optional<CertificateCatalogue::Update>
CertificateCatalogue::Rescan(const std::filesystem::path& folder, ScanError& error,
                             std::stop_token stop) {
    // Taken before the listing, so that any change after a stamp was read lies after it.
    const std::int64_t scanStartNs = RealTimeNs();
    // The files read now have their dates converted with the offset in force now, all with the
    // same one; rows whose dates were converted with another one are read again.
    const std::optional<long> utcOffset = CurrentUtcOffset();
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
    const bool handOn = listing.folder == m_listing.folder && utcOffset && utcOffset == m_utcOffset;
    std::size_t next = 0;

    Update update;
    const std::size_t count = listing.entries.size();
    update.filePaths.reserve(count);
    update.propertyLists.reserve(count);
    update.validities.reserve(count);
    update.trusted.reserve(count);
    update.handedOnFrom.reserve(count);
    std::vector<std::size_t> toRead;
    for (const FolderListing::Entry& entry : listing.entries) {
        const std::string_view name = listing.Name(entry);
        std::size_t from = kNotHandedOn;
        if (handOn) {
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
            toRead.push_back(update.filePaths.size());
            update.filePaths.push_back(listing.PathOf(entry));
            update.propertyLists.emplace_back();
            update.validities.emplace_back();
            update.trusted.push_back(scanStartNs - entry.stamp.changedNs >= m_settleNs);
        } else {
            // The path, the properties and the validity move over from the current row in Adopt.
            update.filePaths.emplace_back();
            update.propertyLists.emplace_back();
            update.validities.emplace_back();
            update.trusted.push_back(true);
        }
        update.handedOnFrom.push_back(from);
    }
    if (!ReadFiles(update, toRead, listing, utcOffset, stop))
        return std::nullopt;
    update.filesRead = toRead.size();
    // Should the offset have changed while the files were read, the dates were converted with
    // the one that was in force before: no row is handed on from this update then.
    if (CurrentUtcOffset() == utcOffset)
        update.utcOffset = utcOffset;
    update.listing = std::move(listing);
    update.reading = std::move(reading);
    return update;
}

bool CertificateCatalogue::ReadFiles(Update& update, const std::vector<std::size_t>& indices,
                                     const FolderListing& listing, std::optional<long> utcOffset,
                                     std::stop_token stop) const {
    // Each thread takes the next file to read; every file goes to its own element. A row read
    // now is handed on at a later rebuild only when it holds what the listed file holds: should
    // the file or its folder have been swapped while it was read, or the read itself have
    // failed, it is read again at the next rebuild. `update.trusted` packs its bits, so the
    // threads note that in `unsettled` and it is applied after they end.
    std::vector<unsigned char> unsettled(indices.size(), 0);
    std::atomic<std::size_t> next{0};
    std::mutex failureMutex;
    std::exception_ptr failure;
    const auto read = [&]() noexcept {
        try {
            for (std::size_t k = next++; k < indices.size(); k = next++) {
                if (stop.stop_requested())
                    return;
                const std::size_t i = indices[k];
                ListedFile file = m_reader(update.filePaths[i], utcOffset);
                update.propertyLists[i] = std::move(file.properties);
                update.validities[i] = file.validity;
                if (update.trusted[i] &&
                    !ReadFromListedFile(update.filePaths[i], listing.entries[i].stamp,
                                        update.propertyLists[i]))
                    unsettled[k] = 1;
            }
        } catch (...) {
            const std::lock_guard lock(failureMutex);
            if (!failure)
                failure = std::current_exception();
            next = indices.size();
        }
    };
    const std::size_t helperCount =
        std::min<std::size_t>(m_readThreads - 1, indices.size() / kFilesPerReadThread);
    std::vector<std::jthread> helpers;
    helpers.reserve(helperCount);
    try {
        for (std::size_t i = 0; i < helperCount; ++i)
            helpers.emplace_back(read);
    } catch (const std::system_error&) {
        // No more threads to be had: the ones there are do the work.
    }
    read();
    for (std::jthread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
    for (std::size_t k = 0; k < indices.size(); ++k) {
        if (unsettled[k] != 0)
            update.trusted[indices[k]] = false;
    }
    return !stop.stop_requested();
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
    m_utcOffset = update.utcOffset;
}
