#include "catalogue/background_refresh.h"

#include "catalogue/certificate_folder.h"

#include <exception>
#include <new>
#include <utility>

BackgroundRefresh::BackgroundRefresh(CertificateCatalogue& catalogue,
                                     std::function<void()> finished)
    : m_catalogue(catalogue), m_finished(std::move(finished)),
      m_thread([this](std::stop_token stop) { Run(std::move(stop)); }) {}

BackgroundRefresh::~BackgroundRefresh() {
    Stop();
}

void BackgroundRefresh::Stop() {
    if (!m_thread.joinable())
        return;
    m_thread.request_stop();
    m_thread.join();
}

bool BackgroundRefresh::Start(std::filesystem::path folder) {
    if (m_inFlight || !m_thread.joinable())
        return false;
    {
        const std::lock_guard lock(m_mutex);
        m_folder = std::move(folder);
    }
    m_inFlight = true;
    m_wake.notify_one();
    return true;
}

std::optional<BackgroundRefresh::Outcome> BackgroundRefresh::TakeOutcome() {
    std::optional<Outcome> outcome;
    {
        const std::lock_guard lock(m_mutex);
        outcome.swap(m_outcome);
    }
    if (outcome)
        m_inFlight = false;
    return outcome;
}

void BackgroundRefresh::Discard(CertificateCatalogue::Update&& spent) {
    // Should the worker not have come to the last one yet (or have ended), that one is freed
    // here, after the lock.
    std::optional<CertificateCatalogue::Update> older;
    {
        const std::lock_guard lock(m_mutex);
        older.swap(m_spent);
        m_spent = std::move(spent);
    }
    m_wake.notify_one();
}

void BackgroundRefresh::Run(std::stop_token stop) {
    for (;;) {
        std::optional<std::filesystem::path> folder;
        std::optional<CertificateCatalogue::Update> spent;
        {
            std::unique_lock lock(m_mutex);
            if (!m_wake.wait(lock, stop,
                             [this] { return m_folder.has_value() || m_spent.has_value(); }))
                return;
            folder.swap(m_folder);
            spent.swap(m_spent);
        }
        spent.reset();
        if (!folder)
            continue;
        const auto start = std::chrono::steady_clock::now();
        Outcome outcome;
        const auto noteFailure = [&outcome](const char* what) noexcept {
            outcome.update.reset();
            try {
                outcome.failure = what;
            } catch (...) {
                outcome.failure.clear(); // the update is gone: the refresh failed all the same
            }
        };
        try {
            std::error_code creationError;
            EnsureCertificateFolder(*folder, creationError);
            ScanError scanError;
            outcome.update = m_catalogue.Rescan(*folder, scanError, stop);
            if (scanError.code)
                outcome.failure = scanError.operation + ": " + scanError.code.message();
        } catch (const std::exception& error) {
            noteFailure(error.what());
        } catch (...) {
            noteFailure("unknown failure");
        }
        if (stop.stop_requested())
            return;
        outcome.workTime = std::chrono::steady_clock::now() - start;
        {
            const std::lock_guard lock(m_mutex);
            m_outcome = std::move(outcome);
        }
        try {
            m_finished();
        } catch (...) {
            // The owner was not told; the outcome waits for its next TakeOutcome.
        }
    }
}
