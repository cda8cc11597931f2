#include "catalogue/certificate_catalogue.h"
#include "catalogue/certificate_rows.h"
#include "support/cert_builder.h"
#include "support/temp_folder.h"
#include "support/time_zone_override.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The files a catalogue read, in order; reads through the real decoder. Several threads may read
// at once.
std::mutex g_filesReadMutex;
std::vector<std::string> g_filesRead;

ListedFile RecordingReader(const fs::path& path, std::optional<long> utcOffset) {
    {
        const std::lock_guard lock(g_filesReadMutex);
        g_filesRead.push_back(path.filename().native());
    }
    return ReadListedFile(path, utcOffset);
}

// Asks the rescan that reads through it to stop at its fifth file.
std::stop_source g_stopAtFifth;

ListedFile StoppingReader(const fs::path& path, std::optional<long>) {
    const std::lock_guard lock(g_filesReadMutex);
    g_filesRead.push_back(path.filename().native());
    if (g_filesRead.size() == 5)
        g_stopAtFifth.request_stop();
    return {{{u"File Type", u"Key File"}}, std::nullopt};
}

// Reads as RecordingReader does, except that the first read of "a.crt" fails to open the file,
// as when the folder is swapped away for a moment while the file is read.
bool g_failFirstOpen = false;

ListedFile FailingOnceReader(const fs::path& path, std::optional<long> utcOffset) {
    ListedFile file = RecordingReader(path, utcOffset);
    if (g_failFirstOpen && path.filename() == "a.crt") {
        g_failFirstOpen = false;
        return {{{u"Error", u"Failed to open file."}}, std::nullopt};
    }
    return file;
}

std::string CertificateNamed(const std::string& commonName) {
    return CertBuilder()
        .Subject({{"2.5.4.3", V_ASN1_UTF8STRING, commonName}})
        .San({SanEntry::Uri("urn:" + commonName)})
        // Each name its own period, so that a row handed on with another's period shows.
        .NotAfter(CertTime::Utc(2000000000 + 3600LL * static_cast<unsigned char>(commonName[0])))
        .BuildDer();
}

class CertificateCatalogueTest : public testing::Test {
protected:
    void SetUp() override { g_filesRead.clear(); }

    fs::path Add(const std::string& name, const std::string& bytes, long long mtime) {
        const fs::path path = m_temp.path() / name;
        WriteFileBytes(path, bytes);
        SetModifiedTime(path, mtime);
        return path;
    }

    // Waits until a change made now gets a later status-change time than `path` has: file times
    // advance in coarse steps, and this test is about changes that the stamps can tell apart.
    void WaitForLaterChangeTimeThan(const fs::path& path) {
        struct stat last {};
        ASSERT_EQ(::stat(path.c_str(), &last), 0);
        const fs::path probe = m_temp.path() / "probe";
        for (int attempt = 0; attempt < 200; ++attempt) {
            WriteFileBytes(probe, "x");
            struct stat now {};
            ASSERT_EQ(::stat(probe.c_str(), &now), 0);
            if (now.st_ctim.tv_sec != last.st_ctim.tv_sec ||
                now.st_ctim.tv_nsec != last.st_ctim.tv_nsec)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        fs::remove(probe);
    }

    // One tick: rescans and adopts; returns the files read for it, or "(no update)".
    std::vector<std::string> Tick(CertificateCatalogue& catalogue) {
        g_filesRead.clear();
        ScanError error;
        auto update = catalogue.Rescan(m_temp.path(), error);
        EXPECT_FALSE(error.code) << error.operation;
        if (!update)
            return {"(no update)"};
        EXPECT_EQ(update->filesRead, g_filesRead.size());
        catalogue.Adopt(std::move(*update));
        return g_filesRead;
    }

    // Every row shows what reading its file again shows, in the order of the scan.
    void ExpectRowsAsReadNow(const CertificateCatalogue& catalogue) {
        std::vector<fs::path> paths;
        ScanError error;
        ScanCertificateFolder(m_temp.path(), paths, error);
        ASSERT_FALSE(error.code);
        ASSERT_EQ(catalogue.size(), paths.size());
        ASSERT_EQ(catalogue.propertyLists().size(), paths.size());
        ASSERT_EQ(catalogue.validities().size(), paths.size());
        for (std::size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(catalogue.filePaths()[i], paths[i]);
            const ListedFile file = ReadListedFile(paths[i]);
            EXPECT_EQ(catalogue.propertyLists()[i], file.properties) << paths[i];
            EXPECT_EQ(catalogue.validities()[i], file.validity) << paths[i];
        }
    }

    TempFolder m_temp;
};

using Names = std::vector<std::string>;

TEST_F(CertificateCatalogueTest, ReadsOnlyTheFilesThatAreNewOrChanged) {
    CertificateCatalogue catalogue(RecordingReader, std::chrono::nanoseconds(0));
    Add("a.crt", CertificateNamed("alpha"), 1000);
    const fs::path rewritten = Add("b.crt", CertificateNamed("bravo"), 2000);
    const fs::path replaced = Add("c.crt", CertificateNamed("carol"), 3000);
    Add("d.key", PrivateKeyPem(KeyParams::Rsa(2048)), 4000);
    EXPECT_EQ(Tick(catalogue), (Names{"a.crt", "b.crt", "c.crt", "d.key"}));
    ExpectRowsAsReadNow(catalogue);
    EXPECT_EQ(Tick(catalogue), (Names{"(no update)"}));

    // Same size and last-write time as before, other content: the status-change time tells.
    WaitForLaterChangeTimeThan(replaced);
    Add("b.crt", CertificateNamed("BRAVO"), 2000);
    // Another file renamed over it, with the same size and last-write time: a new inode.
    Add("c.new", CertificateNamed("CAROL"), 3000);
    fs::rename(m_temp.path() / "c.new", replaced);
    ASSERT_EQ(fs::file_size(rewritten), CertificateNamed("bravo").size());
    // Neither changes the list of paths, so nothing is rebuilt yet.
    EXPECT_EQ(Tick(catalogue), (Names{"(no update)"}));

    Add("e.csr", CsrDer(KeyParams::Rsa(2048), {{"2.5.4.3", V_ASN1_UTF8STRING, "e"}}), 5000);
    EXPECT_EQ(Tick(catalogue), (Names{"b.crt", "c.crt", "e.csr"}));
    ExpectRowsAsReadNow(catalogue);

    fs::remove(m_temp.path() / "a.crt");
    EXPECT_EQ(Tick(catalogue), (Names{}));
    ExpectRowsAsReadNow(catalogue);
}

TEST_F(CertificateCatalogueTest,
       ALastWriteTimeThatChangesTheOrderRebuildsAndOneThatDoesNotIsIgnored) {
    CertificateCatalogue catalogue(RecordingReader, std::chrono::nanoseconds(0));
    const fs::path a = Add("a.crt", CertificateNamed("alpha"), 1000);
    Add("b.crt", CertificateNamed("bravo"), 2000);
    Add("c.key", "key", 3000);
    Tick(catalogue);

    SetModifiedTime(a, 1500); // still first
    EXPECT_EQ(Tick(catalogue), (Names{"(no update)"}));
    SetModifiedTime(a, 2500); // now after b.crt
    EXPECT_EQ(Tick(catalogue), (Names{"a.crt"}));
    EXPECT_EQ(catalogue.filePaths()[0].filename(), "b.crt");
    ExpectRowsAsReadNow(catalogue);
    EXPECT_EQ(Tick(catalogue), (Names{"(no update)"}));
}

TEST_F(CertificateCatalogueTest, FilesChangedWithinTheSettleTimeAreReadAtEveryRebuild) {
    // An hour: every file here changed just now, so its stamp is not trusted yet.
    CertificateCatalogue catalogue(RecordingReader, std::chrono::hours(1));
    Add("a.crt", CertificateNamed("alpha"), 1000);
    Add("b.crt", CertificateNamed("bravo"), 2000);
    EXPECT_EQ(Tick(catalogue), (Names{"a.crt", "b.crt"}));
    Add("c.crt", CertificateNamed("carol"), 3000);
    EXPECT_EQ(Tick(catalogue), (Names{"a.crt", "b.crt", "c.crt"}));
    ExpectRowsAsReadNow(catalogue);
}

TEST_F(CertificateCatalogueTest, AFolderThatCannotBeListedKeepsTheRows) {
    CertificateCatalogue catalogue(RecordingReader, std::chrono::nanoseconds(0));
    Add("a.crt", CertificateNamed("alpha"), 1000);
    Tick(catalogue);
    const std::vector<CertPropertyList> before = catalogue.propertyLists();

    ScanError error;
    EXPECT_FALSE(catalogue.Rescan(m_temp.path() / "missing", error));
    EXPECT_TRUE(error.code);
    EXPECT_EQ(catalogue.size(), 1u);
    EXPECT_EQ(catalogue.propertyLists(), before);
}

TEST_F(CertificateCatalogueTest, ARowWhoseReadFailedIsReadAgainAtTheNextRebuild) {
    CertificateCatalogue catalogue(FailingOnceReader, std::chrono::nanoseconds(0));
    g_failFirstOpen = true;
    Add("a.crt", CertificateNamed("alpha"), 1000);
    Add("b.key", "key", 2000);
    EXPECT_EQ(Tick(catalogue), (Names{"a.crt", "b.key"}));
    EXPECT_EQ(catalogue.propertyLists()[0],
              (CertPropertyList{{u"Error", u"Failed to open file."}}));

    // The file itself never changed, yet its failed reading is not handed on.
    Add("c.key", "key", 3000);
    EXPECT_EQ(Tick(catalogue), (Names{"a.crt", "c.key"}));
    ExpectRowsAsReadNow(catalogue);
}

TEST_F(CertificateCatalogueTest, AChangeOfTheUtcOffsetMakesTheNextRebuildReadEveryFile) {
    CertificateCatalogue catalogue(RecordingReader, std::chrono::nanoseconds(0));
    std::optional<TimeZoneOverride> zone;
    zone.emplace("UTC0");
    Add("a.crt", CertificateNamed("alpha"), 1000);
    Add("b.key", "key", 2000);
    EXPECT_EQ(Tick(catalogue), (Names{"a.crt", "b.key"}));
    EXPECT_EQ(catalogue.propertyLists()[0].back(),
              (CertProperty{u"Valid Date To", u"2033-05-22 04:33:20"}));

    // The offset changes while nothing in the folder does: the rows stay until a rebuild.
    zone.emplace("JST-9");
    EXPECT_EQ(Tick(catalogue), (Names{"(no update)"}));
    Add("c.key", "key", 3000);
    EXPECT_EQ(Tick(catalogue), (Names{"a.crt", "b.key", "c.key"}));
    ExpectRowsAsReadNow(catalogue);
    EXPECT_EQ(catalogue.propertyLists()[0].back(),
              (CertProperty{u"Valid Date To", u"2033-05-22 13:33:20"}));

    // Under the same offset again, rows are handed on as usual.
    Add("d.key", "key", 4000);
    EXPECT_EQ(Tick(catalogue), (Names{"d.key"}));
    ExpectRowsAsReadNow(catalogue);
}

TEST_F(CertificateCatalogueTest, SeveralReadThreadsGiveTheSameRows) {
    for (int i = 0; i < 70; ++i)
        Add("f" + std::to_string(i) + (i % 3 == 0 ? ".key" : ".crt"),
            CertificateNamed("f" + std::to_string(i)), 1000 + i % 7);
    CertificateCatalogue catalogue(RecordingReader, std::chrono::nanoseconds(0));
    catalogue.SetReadThreads(4);
    Names read = Tick(catalogue);
    EXPECT_EQ(read.size(), 70u);
    std::sort(read.begin(), read.end());
    EXPECT_EQ(std::unique(read.begin(), read.end()), read.end()) << "a file was read twice";
    ExpectRowsAsReadNow(catalogue);
}

TEST_F(CertificateCatalogueTest, AStoppedRescanGivesNothingAndLeavesTheRows) {
    Add("a.key", "key", 1000);
    CertificateCatalogue catalogue(StoppingReader, std::chrono::nanoseconds(0));
    ScanError error;
    g_stopAtFifth = {};
    auto first = catalogue.Rescan(m_temp.path(), error, g_stopAtFifth.get_token());
    ASSERT_TRUE(first);
    catalogue.Adopt(std::move(*first));

    for (int i = 0; i < 20; ++i)
        Add("k" + std::to_string(i) + ".key", "key", 2000 + i);
    g_filesRead.clear();
    g_stopAtFifth = {};
    EXPECT_FALSE(catalogue.Rescan(m_temp.path(), error, g_stopAtFifth.get_token()));
    EXPECT_FALSE(error.code);
    EXPECT_EQ(g_filesRead.size(), 5u);
    EXPECT_EQ(catalogue.size(), 1u);

    // The next rescan starts over and makes the whole new state.
    g_stopAtFifth = {};
    g_filesRead.clear();
    auto next = catalogue.Rescan(m_temp.path(), error, {});
    ASSERT_TRUE(next);
    catalogue.Adopt(std::move(*next));
    EXPECT_EQ(catalogue.size(), 21u);
}

} // namespace
