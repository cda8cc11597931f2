#include "catalogue/certificate_catalogue.h"

#include <time.h>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace {

std::int64_t RealTimeNs() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Exact comparison of the path texts (path::operator== compares components instead).
bool SamePaths(const std::vector<ScannedFile>& files,
               const std::vector<std::filesystem::path>& paths) {
    return std::equal(files.begin(), files.end(), paths.begin(), paths.end(),
                      [](const ScannedFile& file, const std::filesystem::path& path) {
                          return file.path.native() == path.native();
                      });
}

} // namespace

CertificateCatalogue::CertificateCatalogue(FileReader reader, std::chrono::nanoseconds settleTime)
    : m_reader(reader), m_settleNs(settleTime.count()) {}

std::optional<CertificateCatalogue::Update>
CertificateCatalogue::Rescan(const std::filesystem::path& folder, ScanError& error) const {
    // Taken before the listing, so that any change after a stamp was read lies after it.
    const std::int64_t scanStartNs = RealTimeNs();
    std::vector<ScannedFile> files;
    if (!ListCertificateFolder(folder, files, error) || SamePaths(files, m_filePaths))
        return std::nullopt;

    std::unordered_map<std::string_view, std::size_t> currentRows;
    currentRows.reserve(m_filePaths.size());
    for (std::size_t i = 0; i < m_filePaths.size(); ++i)
        currentRows.emplace(m_filePaths[i].native(), i);
    std::vector<bool> handedOn(m_filePaths.size(), false);

    Update update;
    const std::size_t count = files.size();
    update.filePaths.reserve(count);
    update.propertyLists.reserve(count);
    update.stamps.reserve(count);
    update.trusted.reserve(count);
    update.handedOnFrom.reserve(count);
    for (ScannedFile& file : files) {
        std::size_t from = kNotHandedOn;
        if (const auto found = currentRows.find(file.path.native()); found != currentRows.end()) {
            const std::size_t row = found->second;
            if (!handedOn[row] && m_trusted[row] && m_stamps[row] == file.stamp) {
                from = row;
                handedOn[row] = true;
            }
        }
        if (from == kNotHandedOn) {
            update.propertyLists.push_back(m_reader(file.path));
            update.trusted.push_back(scanStartNs - file.stamp.changedNs >= m_settleNs);
            ++update.filesRead;
        } else {
            update.propertyLists.emplace_back();
            update.trusted.push_back(true);
        }
        update.handedOnFrom.push_back(from);
        update.stamps.push_back(file.stamp);
        update.filePaths.push_back(std::move(file.path));
    }
    return update;
}

void CertificateCatalogue::Adopt(Update&& update) noexcept {
    for (std::size_t i = 0; i < update.handedOnFrom.size(); ++i) {
        if (update.handedOnFrom[i] != kNotHandedOn)
            update.propertyLists[i] = std::move(m_propertyLists[update.handedOnFrom[i]]);
    }
    m_filePaths.swap(update.filePaths);
    m_propertyLists.swap(update.propertyLists);
    m_stamps.swap(update.stamps);
    m_trusted.swap(update.trusted);
}
