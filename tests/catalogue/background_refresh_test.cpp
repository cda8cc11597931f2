#include "catalogue/background_refresh.h"
#include "catalogue/certificate_rows.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Counts the calls of `finished` and lets the test wait for the next one.
class FinishedCalls {
public:
    void Count() {
        {
            const std::lock_guard lock(m_mutex);
            ++m_calls;
        }
        m_changed.notify_all();
    }
    // Waits until `calls` calls have been made; false after a minute.
    bool WaitFor(int calls) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::minutes(1), [&] { return m_calls >= calls; });
    }
    int calls() {
        const std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_calls = 0;
};

// A reader that holds every read until the test lets it go, and tells how many have begun.
std::atomic<int> g_readsBegun{0};
std::atomic<bool> g_readsMayEnd{false};

ListedFile HeldReader(const fs::path& path, std::optional<long> utcOffset) {
    ++g_readsBegun;
    while (!g_readsMayEnd.load())
        std::this_thread::yield();
    return ReadListedFile(path, utcOffset);
}

class BackgroundRefreshTest : public testing::Test {
protected:
    void SetUp() override {
        g_readsBegun = 0;
        g_readsMayEnd = false;
    }
    void TearDown() override { g_readsMayEnd = true; }

    TempFolder m_temp;
    FinishedCalls m_finished;
};

TEST_F(BackgroundRefreshTest, OneRefreshAtATimeUntilItsOutcomeIsTaken) {
    WriteFileBytes(m_temp.path() / "a.key", "key");
    CertificateCatalogue catalogue(HeldReader);
    BackgroundRefresh refresh(catalogue, [this] { m_finished.Count(); });
    EXPECT_FALSE(refresh.InFlight());
    EXPECT_FALSE(refresh.TakeOutcome());

    ASSERT_TRUE(refresh.Start(m_temp.path()));
    EXPECT_TRUE(refresh.InFlight());
    EXPECT_FALSE(refresh.Start(m_temp.path())) << "a second refresh started";
    while (g_readsBegun.load() == 0)
        std::this_thread::yield();
    EXPECT_FALSE(refresh.TakeOutcome()) << "an outcome before the reads ended";
    EXPECT_TRUE(refresh.InFlight());
    g_readsMayEnd = true;

    ASSERT_TRUE(m_finished.WaitFor(1));
    // Finished, but still in flight until the outcome is taken.
    EXPECT_FALSE(refresh.Start(m_temp.path()));
    auto outcome = refresh.TakeOutcome();
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(refresh.InFlight());
    EXPECT_TRUE(outcome->failure.empty());
    ASSERT_TRUE(outcome->update);
    catalogue.Adopt(std::move(*outcome->update));
    EXPECT_EQ(catalogue.filePaths(), std::vector<fs::path>{m_temp.path() / "a.key"});

    // Unchanged now: the next refresh ends without an update.
    ASSERT_TRUE(refresh.Start(m_temp.path()));
    ASSERT_TRUE(m_finished.WaitFor(2));
    outcome = refresh.TakeOutcome();
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->update);
    EXPECT_TRUE(outcome->failure.empty());
    EXPECT_EQ(m_finished.calls(), 2);
}

TEST_F(BackgroundRefreshTest, AFolderThatCannotBeListedIsAFailedRefresh) {
    WriteFileBytes(m_temp.path() / "file", "a file where the folder should be");
    CertificateCatalogue catalogue;
    BackgroundRefresh refresh(catalogue, [this] { m_finished.Count(); });
    ASSERT_TRUE(refresh.Start(m_temp.path() / "file"));
    ASSERT_TRUE(m_finished.WaitFor(1));
    const auto outcome = refresh.TakeOutcome();
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->update);
    EXPECT_NE(outcome->failure.find("open directory"), std::string::npos) << outcome->failure;
}

TEST_F(BackgroundRefreshTest, AMissingFolderIsMadeByTheRefresh) {
    const fs::path folder = m_temp.path() / "Morvel" / "Certificates";
    CertificateCatalogue catalogue;
    BackgroundRefresh refresh(catalogue, [this] { m_finished.Count(); });
    ASSERT_TRUE(refresh.Start(folder));
    ASSERT_TRUE(m_finished.WaitFor(1));
    EXPECT_TRUE(fs::is_directory(folder));
    const auto outcome = refresh.TakeOutcome();
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->failure.empty());
}

TEST_F(BackgroundRefreshTest, StoppingDuringARefreshEndsAfterTheFileBeingRead) {
    for (int i = 0; i < 50; ++i)
        WriteFileBytes(m_temp.path() / ("k" + std::to_string(i) + ".key"), "key");
    CertificateCatalogue catalogue(HeldReader);
    catalogue.SetReadThreads(2);
    auto refresh = std::make_unique<BackgroundRefresh>(catalogue, [this] { m_finished.Count(); });
    ASSERT_TRUE(refresh->Start(m_temp.path()));
    while (g_readsBegun.load() == 0)
        std::this_thread::yield();
    // The held reads end once the stop has been asked for.
    std::thread release([stopping = refresh->StopToken()] {
        while (!stopping.stop_requested())
            std::this_thread::yield();
        g_readsMayEnd = true;
    });
    refresh.reset(); // stops and joins
    release.join();
    // At most one file per read thread was read after the stop; nothing was handed over.
    EXPECT_LE(g_readsBegun.load(), 2);
    EXPECT_EQ(m_finished.calls(), 0);
    EXPECT_EQ(catalogue.size(), 0u);
}

} // namespace
