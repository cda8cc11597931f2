// Runs the work of a refresh (making the folder when it is missing, listing it, reading the
// status of its files, reading the new or changed ones) on a thread of its own, so that the
// thread that shows the rows never waits for the file system or the decoder.
#pragma once

#include "catalogue/certificate_catalogue.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// One refresh at a time: Start hands the folder to the worker thread, which rescans the
// catalogue and calls `finished`; the owner then takes the outcome with TakeOutcome on its own
// thread and, when it holds an update, adopts it there. The refresh is in flight from Start until
// TakeOutcome, so no rescan ever overlaps an adoption, and every update is adopted (or dropped)
// before the next rescan starts.
//
// All members are called on the owner's thread. The destructor stops a refresh in flight after
// the file it is reading and waits for the worker thread to end.
class BackgroundRefresh {
public:
    struct Outcome {
        // A new state of the rows, made by the catalogue's Rescan; nothing when the folder is
        // unchanged or the refresh failed.
        std::optional<CertificateCatalogue::Update> update;
        // Why the refresh failed (the folder could not be listed, memory ran out); empty when it
        // did not.
        std::string failure;
        // How long the worker thread took for it, from taking the folder to having the outcome.
        std::chrono::nanoseconds workTime{0};
    };

    // `finished` is called on the worker thread, without any lock held, each time a refresh has
    // its outcome. It must only arrange for the owner's thread to call TakeOutcome.
    BackgroundRefresh(CertificateCatalogue& catalogue, std::function<void()> finished);
    ~BackgroundRefresh();
    BackgroundRefresh(const BackgroundRefresh&) = delete;
    BackgroundRefresh& operator=(const BackgroundRefresh&) = delete;

    // Starts refreshing the catalogue from `folder`, unless a refresh is in flight (then returns
    // false and does nothing) or the worker has been stopped.
    bool Start(std::filesystem::path folder);

    // True from a successful Start until TakeOutcome has given its outcome.
    bool InFlight() const { return m_inFlight; }

    // The outcome of the refresh in flight once the worker has finished it, which ends the
    // refresh; nothing while it is still running or when none is in flight.
    std::optional<Outcome> TakeOutcome();

    // Hands an adopted update, which holds the rows it replaced, to the worker thread to be
    // freed there: freeing thousands of rows takes longer than a frame.
    void Discard(CertificateCatalogue::Update&& spent);

    // Stops a refresh in flight after the file it is reading and ends the worker thread; later
    // Starts do nothing. Called by the destructor too.
    void Stop();
    // Tells when Stop has been asked for.
    std::stop_token StopToken() const { return m_thread.get_stop_token(); }

private:
    void Run(std::stop_token stop);

    CertificateCatalogue& m_catalogue;
    std::function<void()> m_finished;
    bool m_inFlight = false; // the owner's thread only

    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::optional<std::filesystem::path> m_folder;       // handed to the worker
    std::optional<Outcome> m_outcome;                    // handed back
    std::optional<CertificateCatalogue::Update> m_spent; // handed to the worker to free
    std::jthread m_thread;                               // last: it ends before the rest
};
