// The choice of the cache folder: the user's own, else a private temporary
// one, never a folder that another user could write.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "packages/CacheFolder.h"
#include "versioninfo/linux/TestFiles.h"

namespace quorvane {
namespace {

using namespace testing;

// Sets an environment variable for the test's duration.
class TEnvironment {
public:
    TEnvironment(const char* Name, const char* Value) : FName(Name) {
        if (const char* Old = getenv(Name))
            FOld = Old;
        if (Value)
            setenv(Name, Value, 1);
        else
            unsetenv(Name);
    }
    ~TEnvironment() {
        if (FOld)
            setenv(FName, FOld->c_str(), 1);
        else
            unsetenv(FName);
    }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

mode_t ModeOf(const std::string& Path) {
    struct stat Info;
    return lstat(Path.c_str(), &Info) == 0 ? Info.st_mode & 07777 : 0;
}

class CacheFolderTest : public ::testing::Test {
protected:
    TTempDir Dir;
    TEnvironment Runtime{"XDG_RUNTIME_DIR", nullptr};
    TEnvironment Temp{"TMPDIR", Dir.Path().c_str()};
    const std::string Private = Dir / ("quorvane-" + std::to_string(geteuid()));
};

TEST_F(CacheFolderTest, TheUsersOwnCacheFolderFirst) {
    const TEnvironment Cache("XDG_CACHE_HOME", (Dir / "cache").c_str());  // made when missing
    EXPECT_EQ(ChooseCacheFolder(), Dir / "cache/quorvane");
    EXPECT_EQ(ModeOf(Dir / "cache/quorvane"), 0700u);
    EXPECT_EQ(ChooseCacheFolder(), Dir / "cache/quorvane");  // and taken as it is
}

TEST_F(CacheFolderTest, AHomeOfAnotherUserGivesAPrivateTemporaryFolder) {
    const std::string Foreign = Dir / "foreign";
    std::filesystem::create_directories(Foreign);
    if (geteuid() == 0)
        ASSERT_EQ(chown(Foreign.c_str(), 65534, 65534), 0);  // nobody's
    else
        ASSERT_EQ(chmod(Foreign.c_str(), 0555), 0);  // not writable for us
    const TEnvironment Cache("XDG_CACHE_HOME", Foreign.c_str());
    EXPECT_EQ(ChooseCacheFolder(), Private);
    EXPECT_EQ(ModeOf(Private), 0700u);
    EXPECT_FALSE(std::filesystem::exists(Foreign + "/quorvane"));

    // The runtime folder of the session comes before the temporary folder.
    std::filesystem::create_directories(Dir / "run");
    const TEnvironment Runtime("XDG_RUNTIME_DIR", (Dir / "run").c_str());
    EXPECT_EQ(ChooseCacheFolder(), Dir / "run/quorvane");
}

TEST_F(CacheFolderTest, AFolderThatOthersCouldWriteIsNeverUsed) {
    const TEnvironment Cache("XDG_CACHE_HOME", (Dir / "cache").c_str());
    std::filesystem::create_directories(Dir / "cache/quorvane");
    ASSERT_EQ(chmod((Dir / "cache/quorvane").c_str(), 0777), 0);
    EXPECT_EQ(ChooseCacheFolder(), Private);
    // A private folder planted as a link, or open to others: no cache at all.
    ASSERT_EQ(rmdir(Private.c_str()), 0);
    std::filesystem::create_directory_symlink(Dir / "cache", Private);
    EXPECT_EQ(ChooseCacheFolder(), "");
    std::filesystem::remove(Private);
    std::filesystem::create_directory(Private);
    ASSERT_EQ(chmod(Private.c_str(), 0733), 0);
    EXPECT_EQ(ChooseCacheFolder(), "");
}

TEST(PrivateFileTest, WrittenWholeAndReadableOnlyByItsOwner) {
    TTempDir Dir;
    const std::string File = Dir / "cache";
    ASSERT_TRUE(WritePrivateFile(File, "first"));
    ASSERT_TRUE(WritePrivateFile(File, "second"));
    EXPECT_EQ(ReadBytes(File), (std::vector<std::uint8_t>{'s', 'e', 'c', 'o', 'n', 'd'}));
    struct stat Info;
    ASSERT_EQ(stat(File.c_str(), &Info), 0);
    EXPECT_EQ(Info.st_mode & 07777, 0600u);
    EXPECT_TRUE(IsPrivateFile(Info));
    Info.st_mode |= S_IWOTH;
    EXPECT_FALSE(IsPrivateFile(Info));
    EXPECT_FALSE(WritePrivateFile(Dir / "missing/cache", "x"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path()), {}), 1);  // no temporary file left
}

}  // namespace
}  // namespace quorvane
