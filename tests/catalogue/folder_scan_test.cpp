#include "catalogue/folder_scan.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FolderScanTest : public testing::Test {
protected:
    fs::path Add(const std::string& name, long long mtime) {
        const fs::path path = folder() / name;
        WriteFileBytes(path, name);
        SetModifiedTime(path, mtime);
        return path;
    }
    const fs::path& folder() const { return m_temp.path(); }

    std::vector<std::string> Names(const std::vector<fs::path>& paths) const {
        std::vector<std::string> names;
        for (const auto& p : paths)
            names.push_back(p.filename().native());
        return names;
    }

    std::vector<std::string> Scan() {
        std::vector<fs::path> paths;
        ScanError error;
        ScanCertificateFolder(folder(), paths, error);
        EXPECT_FALSE(error.code) << error.operation;
        return Names(paths);
    }

    TempFolder m_temp;
};

TEST_F(FolderScanTest, OrdersByLastWriteTimeThenPath) {
    Add("a.crt", 2000);
    Add("b.key", 1000);
    Add("c.csr", 3000);
    Add("z.crt", 1500);
    Add("m.key", 1500);
    EXPECT_EQ(Scan(), (std::vector<std::string>{"b.key", "m.key", "z.crt", "a.crt", "c.csr"}));
}

TEST_F(FolderScanTest, TakesOnlyTheThreeExtensionsOfRegularFilesOneLevelDeep) {
    for (const char* name : {"x.crt.key", "x.crt.bak", "x.CRT", "x.Key", "x.pem", ".crt", "x.",
                             "crt", "..csr", "a b.csr", "-x.key"})
        Add(name, 1000);
    fs::create_directory(folder() / "y.crt");
    WriteFileBytes(folder() / "y.crt" / "inner.crt", "x");
    fs::create_directory(folder() / "sub");
    WriteFileBytes(folder() / "sub" / "deep.key", "x");
    EXPECT_EQ(Scan(), (std::vector<std::string>{"-x.key", "..csr", "a b.csr", "x.crt.key"}));
}

TEST_F(FolderScanTest, FollowsLinksToFilesAndSkipsEntriesWithoutUsableStatus) {
    Add("target.bin", 1000);
    fs::create_symlink(folder() / "target.bin", folder() / "linked.crt");
    fs::create_symlink(folder() / "missing", folder() / "dangling.crt");
    fs::create_symlink(folder() / "loop2.key", folder() / "loop1.key");
    fs::create_symlink(folder() / "loop1.key", folder() / "loop2.key");
    ASSERT_EQ(::mkfifo((folder() / "pipe.crt").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", folder() / "device.csr");
    Add("plain.csr", 2000);
    EXPECT_EQ(Scan(), (std::vector<std::string>{"linked.crt", "plain.csr"}));
}

TEST_F(FolderScanTest, KeepsNamesThatAreNotUtf8ByteForByte) {
    const std::string name = "caf\xE9\xFF.crt";
    Add(name, 1000);
    EXPECT_EQ(Scan(), std::vector<std::string>{name});
}

TEST_F(FolderScanTest, FormsEachPathAsFolderSlashName) {
    Add("a.crt", 1000);
    ScanError error;
    std::vector<fs::path> paths;
    const fs::path withSlash(folder().native() + "/");
    ScanCertificateFolder(withSlash, paths, error);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].native(), folder().native() + "//a.crt");
}

TEST_F(FolderScanTest, ReportsADifferenceOnlyWhenTheListChanges) {
    ScanError error;
    std::vector<fs::path> paths;
    EXPECT_FALSE(ScanCertificateFolder(folder(), paths, error)) << "empty folder, first scan";
    const fs::path a = Add("a.crt", 1000);
    Add("b.key", 2000);
    EXPECT_TRUE(ScanCertificateFolder(folder(), paths, error));
    EXPECT_FALSE(ScanCertificateFolder(folder(), paths, error)) << "unchanged";

    WriteFileBytes(a, "rewritten");
    SetModifiedTime(a, 1500);
    EXPECT_FALSE(ScanCertificateFolder(folder(), paths, error)) << "rewritten, same order";

    SetModifiedTime(a, 3000);
    EXPECT_TRUE(ScanCertificateFolder(folder(), paths, error)) << "touched past b.key";
    EXPECT_EQ(Names(paths), (std::vector<std::string>{"b.key", "a.crt"}));

    fs::remove(a);
    EXPECT_TRUE(ScanCertificateFolder(folder(), paths, error));
    EXPECT_EQ(Names(paths), std::vector<std::string>{"b.key"});
}

TEST_F(FolderScanTest, AFailureLeavesTheListUnchanged) {
    Add("a.crt", 1000);
    ScanError error;
    std::vector<fs::path> paths;
    ASSERT_TRUE(ScanCertificateFolder(folder(), paths, error));
    const auto before = paths;

    EXPECT_FALSE(ScanCertificateFolder(folder() / "missing", paths, error));
    EXPECT_EQ(error.operation, "open directory");
    EXPECT_EQ(error.code, std::errc::no_such_file_or_directory);
    EXPECT_EQ(paths, before);

    EXPECT_FALSE(ScanCertificateFolder(folder() / "a.crt", paths, error));
    EXPECT_EQ(error.code, std::errc::not_a_directory);
    EXPECT_EQ(paths, before);

    EXPECT_FALSE(ScanCertificateFolder(fs::path(), paths, error));
    EXPECT_TRUE(error.code);
    EXPECT_EQ(paths, before);
}

TEST_F(FolderScanTest, ListingCarriesEachFilesStatus) {
    const fs::path a = Add("a.crt", 1234);
    FolderListing listing;
    ScanError error;
    ASSERT_TRUE(ReadCertificateFolder(folder(), listing, error));
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.PathOf(listing.entries[0]), a);
    const FileStamp& stamp = listing.entries[0].stamp;
    struct stat st {};
    ASSERT_EQ(::stat(a.c_str(), &st), 0);
    EXPECT_EQ(stamp.inode, st.st_ino);
    EXPECT_EQ(stamp.device, st.st_dev);
    EXPECT_EQ(stamp.size, 5);
    EXPECT_EQ(stamp.modifiedNs, 1234LL * 1000000000);
}

} // namespace
