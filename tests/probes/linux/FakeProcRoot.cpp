#include "FakeProcRoot.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace quorvane::testing {
namespace fs = std::filesystem;
namespace {

void WriteFile(const fs::path& Path, const std::string& Contents) {
    std::ofstream File(Path, std::ios::binary | std::ios::trunc);
    File << Contents;
    if (!File)
        throw std::runtime_error("cannot write " + Path.string());
}

}  // namespace

TFakeProcRoot::TFakeProcRoot() {
    std::string Template = (fs::temp_directory_path() / "fakeproc.XXXXXX").string();
    if (!::mkdtemp(Template.data()))
        throw std::runtime_error("cannot create a temporary folder");
    FTop = Template;
    FProc = FTop / "proc";
    FFiles = FTop / "files";
    fs::create_directories(FProc);
    fs::create_directories(FFiles);
}

TFakeProcRoot::~TFakeProcRoot() {
    std::error_code Ignored;
    // Process folders made unreadable by a test must be listable again to be removed.
    for (const auto& Entry : fs::directory_iterator(FProc, Ignored))
        fs::permissions(Entry.path(), fs::perms::owner_all, fs::perm_options::add, Ignored);
    fs::remove_all(FTop, Ignored);
}

void TFakeProcRoot::WriteSystemStat(std::uint64_t BootTime, int Processors) {
    std::string Text = "cpu  100 0 100 1000 0 0 0 0 0 0\n";
    for (int I = 0; I < Processors; ++I)
        Text += "cpu" + std::to_string(I) + " 50 0 50 500 0 0 0 0 0 0\n";
    Text += "intr 12345 0 0\nctxt 9999\nbtime " + std::to_string(BootTime) + "\nprocesses 4242\n";
    WriteFile(FProc / "stat", Text);
}

std::string TFakeProcRoot::StatText(const TFakeProcess& P) {
    // Fields 1 to 52 of the kernel's stat line.
    std::string Text = std::to_string(P.Id) + " (" + P.Comm + ") S " + std::to_string(P.ParentId) + " " +
                       std::to_string(P.Id) + " " + std::to_string(P.Id) + " 0 -1 " + std::to_string(P.Flags) +
                       " 10 0 0 0 " + std::to_string(P.UserTicks) + " " + std::to_string(P.SystemTicks) + " 0 0 " +
                       std::to_string(20 + P.Nice) + " " + std::to_string(P.Nice) + " " + std::to_string(P.Threads) +
                       " 0 " + std::to_string(P.StartTicks) + " 1000000 100 18446744073709551615";
    for (int Field = 26; Field <= 39; ++Field)
        Text += " 0";
    Text += " 0 " + std::to_string(P.Policy);  // rt_priority, policy
    for (int Field = 42; Field <= 52; ++Field)
        Text += " 0";
    return Text + "\n";
}

std::string TFakeProcRoot::MapsLine(std::uint64_t Start, std::uint64_t End, const std::string& Path) {
    char Range[80];
    std::snprintf(Range, sizeof Range, "%012llx-%012llx", static_cast<unsigned long long>(Start),
                  static_cast<unsigned long long>(End));
    std::string Line = std::string(Range) + " r-xp 00000000 08:01 123456";
    if (!Path.empty())
        Line += std::string(19, ' ') + Path;
    return Line + "\n";
}

void TFakeProcRoot::Add(const TFakeProcess& P) {
    const fs::path Folder = FProc / std::to_string(P.Id);
    std::error_code Ignored;
    fs::remove_all(Folder, Ignored);
    fs::create_directories(Folder);
    if (P.HasStat)
        WriteFile(Folder / "stat", StatText(P));
    if (P.HasStatus)
        WriteFile(Folder / "status", "Name:\t" + P.Comm + "\nUmask:\t0022\nState:\tS (sleeping)\nTgid:\t" +
                                         std::to_string(P.Id) + "\nPid:\t" + std::to_string(P.Id) +
                                         "\nPPid:\t" + std::to_string(P.ParentId) + "\nThreads:\t" +
                                         std::to_string(P.Threads) + "\nVmRSS:\t    1000 kB\n");
    WriteFile(Folder / "cmdline", P.CommandLine);
    WriteFile(Folder / "environ", P.Environment);
    if (P.HasMaps)
        WriteFile(Folder / "maps", P.Maps);
    if (P.Exe)
        fs::create_symlink(*P.Exe, Folder / "exe");
}

std::string TFakeProcRoot::AddFile(const std::string& Name, const std::string& Contents) {
    const fs::path Path = FFiles / Name;
    WriteFile(Path, Contents);
    return Path.string();
}

}  // namespace quorvane::testing
