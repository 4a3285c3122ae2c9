// Paths inside another system's root: links resolve inside it, and neither an
// absolute target nor ".." leads out of it.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "packages/SystemRoot.h"
#include "versioninfo/linux/TestFiles.h"

namespace quorvane {
namespace {

using namespace testing;
namespace fs = std::filesystem;

TEST(SystemRootTest, LinksResolveInsideTheRootAndNeverLeaveIt) {
    TTempDir Dir;
    const std::string Root = Dir / "root";
    WriteText(Root + "/usr/bin/tool", "inside\n");
    WriteText(Root + "/etc/hostname", "inside\n");
    WriteText(Dir / "outside", "outside\n");
    fs::create_directory_symlink("usr/bin", Root + "/bin");
    fs::create_symlink("/usr/bin/tool", Root + "/usr/bin/absolute");
    fs::create_symlink("../../../../../../etc/hostname", Root + "/usr/bin/up");
    fs::create_symlink(Dir / "outside", Root + "/usr/bin/host");
    fs::create_symlink("../../../outside", Root + "/usr/bin/climb");
    fs::create_symlink("loop", Root + "/usr/bin/loop");
    fs::create_directory_symlink(Dir.Path(), Root + "/hostdir");

    const TSystemRoot System(Root + "/");
    ASSERT_TRUE(System.Valid());
    EXPECT_EQ(System.Folder(), fs::canonical(Root).string());
    struct TCase {
        const char* Path;
        const char* Resolved;  // empty: reaches nothing
        int Error;
    };
    const TCase Cases[] = {
        {"/usr/bin/tool", "/usr/bin/tool", 0},
        {"bin/tool", "/usr/bin/tool", 0},  // relative: from the root
        {"/bin/../bin/./tool", "/usr/bin/tool", 0},
        {"/../../usr/bin/tool", "/usr/bin/tool", 0},
        {"/usr/bin/absolute", "/usr/bin/tool", 0},
        {"/usr/bin/up", "/etc/hostname", 0},
        {"/", "/", 0},
        {"/usr/bin/host", "", ENOENT},  // an absolute target starts again at the root
        {"/usr/bin/climb", "", ENOENT},  // ".." stops at the root
        {"/hostdir/outside", "", ENOENT},
        {"/usr/bin/loop", "", ELOOP},
        {"/usr/bin/tool/x", "", ENOTDIR},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Path);
        EXPECT_EQ(System.Resolve(Case.Path), Case.Resolved);
        std::string Resolved;
        const int Fd = System.Open(Case.Path, O_RDONLY | O_CLOEXEC, &Resolved);
        EXPECT_EQ(Fd < 0 ? errno : 0, Case.Error);
        if (Fd >= 0)
            close(Fd);
        EXPECT_EQ(Resolved, Case.Resolved);
        std::string Content;
        if (Case.Error == 0 && std::string_view(Case.Path) != "/") {
            ASSERT_TRUE(System.ReadFile(Case.Path, Content));
            EXPECT_EQ(Content, "inside\n");
        }
    }
    EXPECT_EQ(System.ResolveFolder("/bin/tool"), "/usr/bin/tool");
    EXPECT_EQ(System.ResolveFolder("/bin/missing"), "/usr/bin/missing");
    EXPECT_EQ(System.HostPath("/usr/bin/tool"), fs::canonical(Root).string() + "/usr/bin/tool");
    struct stat Info;
    EXPECT_TRUE(System.LinkStat("/usr/bin/host", Info));
    EXPECT_TRUE(S_ISLNK(Info.st_mode));
    EXPECT_FALSE(System.Stat("/usr/bin/host", Info));

    EXPECT_TRUE(TSystemRoot("/").IsHost());
    const TSystemRoot Missing(Dir / "missing");
    EXPECT_FALSE(Missing.Valid());
    EXPECT_EQ(Missing.Error(), ENOENT);
}

}  // namespace
}  // namespace quorvane
