// Writing the report file on Linux: every kind of target keeps what the user
// had. Cases where permissions matter run in a child process as user and
// group 65534, since the tests themselves run as root.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "common/WholeFile.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 65534;
constexpr gid_t kOtherGroup = 65534;

std::string ReadFile(const fs::path& Path) {
    std::ifstream File(Path, std::ios::binary);
    std::ostringstream Text;
    Text << File.rdbuf();
    return Text.str();
}

void WriteText(const fs::path& Path, const std::string& Text) { std::ofstream(Path, std::ios::binary) << Text; }

struct stat Stat(const fs::path& Path) {
    struct stat Info {};
    EXPECT_EQ(::stat(Path.c_str(), &Info), 0) << Path;
    return Info;
}

// What a write in a child process answered.
struct TChildResult {
    bool Ran = false;  // false: the child could not become the other user
    bool Ok = false;
    TWriteFailure::TStep Step = TWriteFailure::Create;
    std::string Error;
};

// Runs WriteWholeFile(Name, Contents) in a child process, as the other user
// when AsOtherUser, after Prepare (which runs in the child as root).
TChildResult WriteInChild(const std::string& Name, const std::string& Contents, bool AsOtherUser,
                          const std::function<void()>& Prepare = {}) {
    int Pipe[2];
    if (::pipe(Pipe) != 0)
        return {};
    const pid_t Child = ::fork();
    if (Child == 0) {
        ::close(Pipe[0]);
        if (Prepare)
            Prepare();
        if (AsOtherUser && (::setgroups(0, nullptr) != 0 || ::setgid(kOtherGroup) != 0 || ::setuid(kOtherUser) != 0))
            ::_exit(2);
        TWriteFailure Failure;
        const bool Ok = WriteWholeFile(Name, Contents, Failure);
        const std::string Sent = std::to_string(Failure.Step) + Failure.Reason;
        [[maybe_unused]] const ssize_t Written = ::write(Pipe[1], Sent.data(), Sent.size());
        ::_exit(Ok ? 0 : 1);
    }
    ::close(Pipe[1]);
    TChildResult Result;
    char Buffer[256];
    ssize_t Got;
    while ((Got = ::read(Pipe[0], Buffer, sizeof Buffer)) > 0)
        Result.Error.append(Buffer, static_cast<std::size_t>(Got));
    ::close(Pipe[0]);
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    if (!Result.Error.empty()) {
        Result.Step = static_cast<TWriteFailure::TStep>(Result.Error[0] - '0');
        Result.Error.erase(0, 1);
    }
    Result.Ran = WIFEXITED(Status) && WEXITSTATUS(Status) != 2;
    Result.Ok = WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
    return Result;
}

// Bounds the size of any file the child writes, so its write fails part-way.
std::function<void()> FileSizeLimit(rlim_t Bytes) {
    return [Bytes] {
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit Limit{Bytes, Bytes};
        ::setrlimit(RLIMIT_FSIZE, &Limit);
    };
}

class WholeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char Template[] = "/tmp/quorvane-wholefile-XXXXXX";
        ASSERT_NE(::mkdtemp(Template), nullptr);
        Folder = Template;
        fs::permissions(Folder, fs::perms::all);  // the other user may enter
    }
    void TearDown() override { fs::remove_all(Folder); }

    // Whether the cases as another user can run: as root, and where user
    // 65534 reaches the test folder (a folder on the way may be closed to it,
    // as the root folder of a fresh chroot made by mktemp is). Else the case
    // is skipped with the reason.
    bool CanActAsOtherUser() {
        if (::geteuid() != 0) {
            FSkipReason = "needs root to run the case as user 65534";
            return false;
        }
        const pid_t Child = ::fork();
        if (Child == 0) {
            const bool Reached = ::setgroups(0, nullptr) == 0 && ::setgid(kOtherGroup) == 0 &&
                                 ::setuid(kOtherUser) == 0 && ::access(Folder.c_str(), W_OK | X_OK) == 0;
            ::_exit(Reached ? 0 : 1);
        }
        int Status = 0;
        ::waitpid(Child, &Status, 0);
        if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0) {
            FSkipReason = "user 65534 cannot reach " + Folder.string() + " (a folder on the way is closed to it)";
            return false;
        }
        return true;
    }
    std::string FSkipReason;

    // A folder of the other user, and in it a file of the other user.
    fs::path OtherUsersFolder(const std::string& Name = "theirs") const {
        const fs::path Path = Folder / Name;
        fs::create_directory(Path);
        EXPECT_EQ(::chown(Path.c_str(), kOtherUser, kOtherGroup), 0);
        return Path;
    }
    fs::path OtherUsersFile(const fs::path& Path, const std::string& Text, mode_t Mode) const {
        WriteText(Path, Text);
        EXPECT_EQ(::chown(Path.c_str(), kOtherUser, kOtherGroup), 0);
        EXPECT_EQ(::chmod(Path.c_str(), Mode), 0);
        return Path;
    }

    std::size_t EntryCount(const fs::path& Path) const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(Path), fs::directory_iterator()));
    }

    fs::path Folder;
};

TEST_F(WholeFileTest, DescriptorsNamedByPathAreWrittenWithoutTruncating) {
    // "quorvane-report /dev/stdout >> app.log": the shell's append stays an append.
    const fs::path Log = Folder / "app.log";
    WriteText(Log, "earlier line\n");
    const ino_t Inode = Stat(Log).st_ino;
    const int Append = ::open(Log.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(Append, 0);
    TWriteFailure Error;
    EXPECT_TRUE(WriteWholeFile("/dev/fd/" + std::to_string(Append), "one\n", Error)) << Error.Reason;
    EXPECT_TRUE(WriteWholeFile("/proc/self/fd/" + std::to_string(Append), "two\n", Error)) << Error.Reason;
    // /dev/stdout, where it is the usual link into the descriptor folder.
    std::string Expected = "earlier line\none\ntwo\n";
    if (fs::is_symlink("/dev/stdout")) {
        const TChildResult Stdout = WriteInChild("/dev/stdout", "three\n", false, [Append] { ::dup2(Append, 1); });
        EXPECT_TRUE(Stdout.Ok) << Stdout.Error;
        Expected += "three\n";
    }
    ::close(Append);
    EXPECT_EQ(ReadFile(Log), Expected);
    EXPECT_EQ(Stat(Log).st_ino, Inode);

    // A pipe by descriptor and a named pipe by path.
    int Pipe[2];
    ASSERT_EQ(::pipe(Pipe), 0);
    EXPECT_TRUE(WriteWholeFile("/dev/fd/" + std::to_string(Pipe[1]), "through a pipe", Error)) << Error.Reason;
    ::close(Pipe[1]);
    char Buffer[64] = {};
    EXPECT_EQ(::read(Pipe[0], Buffer, sizeof Buffer), 14);
    EXPECT_STREQ(Buffer, "through a pipe");
    ::close(Pipe[0]);
    const fs::path Fifo = Folder / "fifo";
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    const int Reader = ::open(Fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(Reader, 0);
    EXPECT_TRUE(WriteWholeFile(Fifo.string(), "through a fifo", Error)) << Error.Reason;
    std::memset(Buffer, 0, sizeof Buffer);
    EXPECT_EQ(::read(Reader, Buffer, sizeof Buffer), 14);
    ::close(Reader);
    EXPECT_TRUE(fs::is_fifo(Fifo));

    // A descriptor that is not open fails with the system's message; a
    // device that takes nothing fails at the write.
    EXPECT_FALSE(WriteWholeFile("/dev/fd/987", "x", Error));
    EXPECT_EQ(Error.Step, TWriteFailure::Create);
    EXPECT_EQ(Error.Reason, std::strerror(EBADF));
    EXPECT_FALSE(WriteWholeFile("/dev/full", "x", Error));
    EXPECT_EQ(Error.Step, TWriteFailure::Write);
    EXPECT_EQ(Error.Reason, std::strerror(ENOSPC));
}

TEST_F(WholeFileTest, ReadOnlyReportIsRefusedAsTheSystemRefusesToTruncateIt) {
    if (!CanActAsOtherUser())
        GTEST_SKIP() << FSkipReason;
    const fs::path Theirs = OtherUsersFolder();
    const fs::path Report = OtherUsersFile(Theirs / "report.txt", "kept", 0444);
    const TChildResult Result = WriteInChild(Report.string(), "replaced", true);
    ASSERT_TRUE(Result.Ran) << "could not become user 65534";
    EXPECT_FALSE(Result.Ok);
    EXPECT_EQ(Result.Step, TWriteFailure::Create);
    EXPECT_EQ(Result.Error, std::strerror(EACCES));
    EXPECT_EQ(ReadFile(Report), "kept");
    EXPECT_EQ(EntryCount(Theirs), 1u);  // no temporary file left
}

TEST_F(WholeFileTest, ReplacedReportKeepsOwnerGroupModeAndLinks) {
    TWriteFailure Error;
    if (!CanActAsOtherUser()) {
        std::printf("Owner cases left out: %s\n", FSkipReason.c_str());
    } else {
        // Root rewriting a user's report: the user keeps it.
        const fs::path Report = OtherUsersFile(Folder / "users.txt", "old", 0640);
        ASSERT_TRUE(WriteWholeFile(Report.string(), "new", Error)) << Error.Reason;
        const struct stat Info = Stat(Report);
        EXPECT_EQ(Info.st_uid, kOtherUser);
        EXPECT_EQ(Info.st_gid, kOtherGroup);
        EXPECT_EQ(Info.st_mode & 07777, 0640u);
        EXPECT_EQ(ReadFile(Report), "new");

        // A user rewriting a file of root's that the group may write: a new
        // file could not be given to root, so the file is written in place.
        const fs::path Theirs = OtherUsersFolder();
        const fs::path Shared = Theirs / "shared.txt";
        WriteText(Shared, "a much longer text than the new one");
        ASSERT_EQ(::chown(Shared.c_str(), 0, kOtherGroup), 0);
        ASSERT_EQ(::chmod(Shared.c_str(), 0664), 0);
        const ino_t Inode = Stat(Shared).st_ino;
        const TChildResult Result = WriteInChild(Shared.string(), "short", true);
        ASSERT_TRUE(Result.Ran);
        EXPECT_TRUE(Result.Ok) << Result.Error;
        EXPECT_EQ(ReadFile(Shared), "short");
        EXPECT_EQ(Stat(Shared).st_uid, 0u);
        EXPECT_EQ(Stat(Shared).st_ino, Inode);
        EXPECT_EQ(EntryCount(Theirs), 1u);
    }

    // Hard links stay one file.
    const fs::path First = Folder / "first.txt";
    const fs::path Second = Folder / "second.txt";
    WriteText(First, "old");
    fs::create_hard_link(First, Second);
    ASSERT_TRUE(WriteWholeFile(Second.string(), "new text", Error)) << Error.Reason;
    EXPECT_EQ(ReadFile(First), "new text");
    EXPECT_EQ(Stat(First).st_ino, Stat(Second).st_ino);
    EXPECT_EQ(Stat(First).st_nlink, 2u);

    // A link (through a second link) to a file that does not exist yet: the
    // file is made where the links point, and both links stay.
    fs::create_directory(Folder / "reports");
    fs::create_symlink("reports/latest.txt", Folder / "inner-link");
    fs::create_symlink(Folder / "inner-link", Folder / "outer-link");
    ASSERT_TRUE(WriteWholeFile((Folder / "outer-link").string(), "made", Error)) << Error.Reason;
    EXPECT_TRUE(fs::is_symlink(Folder / "outer-link"));
    EXPECT_TRUE(fs::is_symlink(Folder / "inner-link"));
    EXPECT_EQ(ReadFile(Folder / "reports" / "latest.txt"), "made");
}

TEST_F(WholeFileTest, WritableReportInAFolderThatTakesNoNewFile) {
    if (!CanActAsOtherUser())
        GTEST_SKIP() << FSkipReason;
    // Root's folder, the user's report in it.
    const fs::path Locked = Folder / "locked";
    fs::create_directory(Locked);
    ASSERT_EQ(::chmod(Locked.c_str(), 0755), 0);
    const fs::path Report = OtherUsersFile(Locked / "report.txt", "previous report", 0644);
    TChildResult Result = WriteInChild(Report.string(), "updated", true);
    ASSERT_TRUE(Result.Ran);
    EXPECT_TRUE(Result.Ok) << Result.Error;
    EXPECT_EQ(ReadFile(Report), "updated");
    EXPECT_EQ(EntryCount(Locked), 1u);

    // A write that fails part-way puts the previous text back.
    Result = WriteInChild(Report.string(), std::string(4096, 'x'), true, FileSizeLimit(100));
    EXPECT_FALSE(Result.Ok);
    EXPECT_EQ(Result.Error, std::strerror(EFBIG));
    EXPECT_EQ(ReadFile(Report), "updated");
}

TEST_F(WholeFileTest, FailedReplacementLeavesThePreviousReportWhole) {
    const fs::path Report = Folder / "kept.txt";
    WriteText(Report, "previous");
    const TChildResult Result = WriteInChild(Report.string(), std::string(4096, 'x'), false, FileSizeLimit(100));
    EXPECT_FALSE(Result.Ok);
    EXPECT_EQ(Result.Step, TWriteFailure::Write);
    EXPECT_EQ(Result.Error, std::strerror(EFBIG));
    EXPECT_EQ(ReadFile(Report), "previous");
    EXPECT_EQ(EntryCount(Folder), 1u);
}

TEST_F(WholeFileTest, NamesOfTheLongestLengthWork) {
    const fs::path Report = Folder / std::string(255, 'r');
    TWriteFailure Error;
    ASSERT_TRUE(WriteWholeFile(Report.string(), "first", Error)) << Error.Reason;
    ASSERT_TRUE(WriteWholeFile(Report.string(), "second", Error)) << Error.Reason;
    EXPECT_EQ(ReadFile(Report), "second");
    EXPECT_EQ(EntryCount(Folder), 1u);
}

}  // namespace
}  // namespace quorvane
