#include "catalogue/certificate_folder.h"
#include "platform/app_data_folder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(UserDataFolderTest, FollowsTheFreedesktopRule) {
    struct Case {
        const char* xdgDataHome;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/data/u", "/home/u", "/data/u"},
        {"relative/data", "/home/u", "/home/u/.local/share"},
        {"", "/home/u", "/home/u/.local/share"},
        {nullptr, "/home/u", "/home/u/.local/share"},
        {nullptr, "home/u", ""},
        {nullptr, nullptr, ""},
        {"", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UserDataFolderFrom(c.xdgDataHome, c.home).native(), c.expected)
            << (c.xdgDataHome ? c.xdgDataHome : "(unset)") << " / "
            << (c.home ? c.home : "(unset)");
}

// Sets an environment variable for the life of the object and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

TEST(CertificateFolderTest, AppendsMorvelCertificatesToTheDataFolderAsText) {
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/srv/data");
        EXPECT_EQ(GetCertificateFolder().native(), "/srv/data/Morvel/Certificates");
    }
    {
        // No separator is added or removed at the join.
        ScopedEnv xdg("XDG_DATA_HOME", "/srv/data/");
        EXPECT_EQ(GetCertificateFolder().native(), "/srv/data//Morvel/Certificates");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        ScopedEnv home("HOME", "/home/op");
        EXPECT_EQ(GetCertificateFolder().native(), "/home/op/.local/share/Morvel/Certificates");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        ScopedEnv home("HOME", nullptr);
        EXPECT_TRUE(GetCertificateFolder().empty());
    }
}

TEST(EnsureCertificateFolderTest, CreatesTheFolderAndMissingParents) {
    TempFolder temp;
    const fs::path folder = CertificateFolderUnder(temp.path());
    std::error_code error;
    EXPECT_EQ(EnsureCertificateFolder(folder, error), FolderCreation::Created);
    EXPECT_FALSE(error);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(EnsureCertificateFolder(folder, error), FolderCreation::Existing);
}

TEST(EnsureCertificateFolderTest, CreatedFoldersArePrivateWhateverTheUmask) {
    for (const mode_t mask : {mode_t{0}, mode_t{002}, mode_t{022}, mode_t{077}, mode_t{0700}}) {
        TempFolder temp;
        // An existing parent keeps its mode; the folders created below it are private.
        fs::permissions(temp.path(), fs::perms(0755));
        const fs::path data = temp.path() / "data";
        const mode_t previous = ::umask(mask);
        std::error_code error;
        const FolderCreation result = EnsureCertificateFolder(CertificateFolderUnder(data), error);
        ::umask(previous);
        ASSERT_EQ(result, FolderCreation::Created) << std::oct << mask << " " << error.message();
        for (const fs::path& created : {data, data / "Morvel", data / "Morvel" / "Certificates"}) {
            struct stat st {};
            ASSERT_EQ(::stat(created.c_str(), &st), 0) << created;
            EXPECT_EQ(st.st_mode & 07777, 0700u) << created << " umask " << std::oct << mask;
        }
        struct stat parent {};
        ASSERT_EQ(::stat(temp.path().c_str(), &parent), 0);
        EXPECT_EQ(parent.st_mode & 07777, 0755u);
    }
}

TEST(EnsureCertificateFolderTest, LeavesAnythingAtThePathAlone) {
    TempFolder temp;
    const fs::path file = temp.path() / "Certificates";
    WriteFileBytes(file, "not a folder");
    std::error_code error;
    EXPECT_EQ(EnsureCertificateFolder(file, error), FolderCreation::Existing);
    EXPECT_EQ(ReadFileBytes(file), "not a folder");
}

TEST(EnsureCertificateFolderTest, FailsWithoutThrowing) {
    TempFolder temp;
    std::error_code error;
    EXPECT_EQ(EnsureCertificateFolder({}, error), FolderCreation::Failed);
    EXPECT_TRUE(error);

    // A parent that is a file.
    WriteFileBytes(temp.path() / "Morvel", "x");
    EXPECT_EQ(EnsureCertificateFolder(CertificateFolderUnder(temp.path()), error),
              FolderCreation::Failed);
    EXPECT_TRUE(error);

    // A dangling link: not "nothing", and not followed to create its target.
    fs::create_symlink(temp.path() / "nowhere", temp.path() / "dangling");
    EXPECT_EQ(EnsureCertificateFolder(temp.path() / "dangling", error), FolderCreation::Failed);
    EXPECT_FALSE(fs::exists(temp.path() / "nowhere"));
}

} // namespace
