// Which package owns a file, asked of rpm and pacman databases of a few
// hundred packages that the benchmark makes in a temporary root with the
// managers' own tools (rpmbuild and rpm; bsdtar and pacman): 1,000 paths
// looked up by a freshly opened database (the first lookup of a run) and by
// one that has answered before (warm), beside "rpm -qf" and "pacman -Qo"
// given the same 1,000 paths in one call. Per path figures are the time
// divided by 1,000.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "packages/PackageDatabase.h"
#include "packages/SystemRoot.h"

namespace quorvane {
namespace {

constexpr int kPackages = 300;
constexpr int kFilesPerPackage = 4;
constexpr int kPaths = 1000;

bool Run(const std::string& Command) { return std::system((Command + " >/dev/null 2>&1").c_str()) == 0; }

void Write(const std::string& Path, const std::string& Text) {
    std::filesystem::create_directories(std::filesystem::path(Path).parent_path());
    std::ofstream(Path, std::ios::binary) << Text;
}

// Names of their own, as on a real system: rpm's index is by the last component.
std::string FileOf(int Package, int File) {
    return "/usr/share/bench/p" + std::to_string(Package) + "/file-" + std::to_string(Package) + "-" +
           std::to_string(File);
}

struct TDatabases {
    std::string Dir;
    std::string RpmRoot, PacmanRoot;
    std::vector<std::string> Paths;  // kPaths files, spread over every package
    std::string PathList;  // the same, separated by blanks
    std::string Error;

    TDatabases() {
        std::string Pattern = (std::filesystem::temp_directory_path() / "quorvane-bench-XXXXXX").string();
        if (!mkdtemp(Pattern.data()))
            std::abort();
        Dir = Pattern;
        for (int I = 0; I < kPaths; ++I) {
            Paths.push_back(FileOf(I % kPackages, I / kPackages));
            PathList += " " + Paths.back();
        }
        MakeRpm();
        MakePacman();
    }
    ~TDatabases() { std::filesystem::remove_all(Dir); }

    // One build recipe whose subpackages are the packages: one rpmbuild run, one rpm transaction.
    void MakeRpm() {
        std::string Recipe = "Name: bench\nVersion: 1\nRelease: 1\nSummary: bench\nLicense: MIT\nBuildArch: noarch\n"
                           "%description\nbench\n";
        std::string Install = "%install\n";
        std::string Files;
        for (int P = 0; P < kPackages; ++P) {
            const std::string Name = std::string(1, 'p').append(std::to_string(P));
            Recipe += "%package " + Name + "\nSummary: package " + Name + "\n%description " + Name + "\n" + Name + "\n";
            Install += "mkdir -p %{buildroot}/usr/share/bench/" + Name + "\n";
            Files += "%files " + Name + "\n";
            for (int F = 0; F < kFilesPerPackage; ++F) {
                Install += "echo " + Name + std::to_string(F) + " > %{buildroot}" + FileOf(P, F) + "\n";
                Files += FileOf(P, F) + "\n";
            }
        }
        Write(Dir + "/bench.recipe", Recipe + Install + Files);
        RpmRoot = Dir + "/rpm";
        std::filesystem::create_directories(RpmRoot);
        if (!Run("rpmbuild --quiet --define '_topdir " + Dir + "/top' -bb " + Dir + "/bench.recipe") ||
            !Run("rpm --root " + RpmRoot + " --dbpath /usr/lib/sysimage/rpm -i --nodeps " + Dir +
                 "/top/RPMS/noarch/bench-p*.rpm"))
            Error = "rpmbuild or rpm failed (Debian package rpm)";
    }

    void MakePacman() {
        PacmanRoot = Dir + "/pacman";
        std::filesystem::create_directories(PacmanRoot + "/var/lib/pacman");
        Write(Dir + "/pacman.conf", "[options]\nArchitecture = auto\nSigLevel = Never\nLocalFileSigLevel = Never\n");
        std::string Archives;
        for (int P = 0; P < kPackages && Error.empty(); ++P) {
            const std::string Name = std::string(1, 'p').append(std::to_string(P));
            const std::string Stage = Dir + "/stage/" + Name;
            Write(Stage + "/.PKGINFO", "pkgname = " + Name + "\npkgver = 1-1\npkgdesc = package " + Name +
                                           "\nbuilddate = 1700000000\npackager = Bench\nsize = 16\narch = any\n");
            for (int F = 0; F < kFilesPerPackage; ++F)
                Write(Stage + FileOf(P, F), Name + std::to_string(F) + "\n");
            const std::string Archive = Dir + "/" + Name + "-1-1-any.pkg.tar.gz";
            if (!Run("cd " + Stage + " && LANG=C bsdtar -czf .MTREE --format=mtree "
                     "--options='!all,use-set,type,uid,gid,mode,time,size,md5,sha256,link' .PKGINFO usr && "
                     "bsdtar -czf " + Archive + " .PKGINFO .MTREE usr"))
                Error = "bsdtar failed (Debian package libarchive-tools)";
            Archives += " " + Archive;
        }
        const std::string AsRoot = geteuid() == 0 ? "" : "fakeroot ";
        if (Error.empty() && !Run(AsRoot + "pacman --root " + PacmanRoot + " --dbpath " + PacmanRoot +
                                  "/var/lib/pacman --cachedir " + Dir + "/cache --config " + Dir +
                                  "/pacman.conf --noconfirm -U" + Archives))
            Error = "pacman failed (Debian package pacman-package-manager)";
    }
};

TDatabases& Databases() {
    static TDatabases Made;
    return Made;
}

using TOpen = std::unique_ptr<IPackageDatabase> (*)(const TSystemRoot&, const std::string&);

void LookUpAll(benchmark::State& State, IPackageDatabase& Database) {
    int Owned = 0;
    for (const std::string& Path : Databases().Paths)
        Owned += Database.Owner(Path).has_value();
    if (Owned != kPaths)
        State.SkipWithError(("only " + std::to_string(Owned) + " paths owned: " + Database.Problem()).c_str());
}

void FirstLookup(benchmark::State& State, TOpen Open, const std::string& Root, const char* Folder) {
    if (!Databases().Error.empty())
        return State.SkipWithError(Databases().Error.c_str());
    const TSystemRoot System(Root);
    for (auto _ : State) {
        const auto Database = Open(System, Folder);
        LookUpAll(State, *Database);
    }
}

void WarmLookup(benchmark::State& State, TOpen Open, const std::string& Root, const char* Folder) {
    if (!Databases().Error.empty())
        return State.SkipWithError(Databases().Error.c_str());
    const TSystemRoot System(Root);
    const auto Database = Open(System, Folder);
    LookUpAll(State, *Database);
    for (auto _ : State)
        LookUpAll(State, *Database);
}

void Command(benchmark::State& State, const std::string& Line) {
    if (!Databases().Error.empty())
        return State.SkipWithError(Databases().Error.c_str());
    for (auto _ : State)
        if (!Run(Line))
            State.SkipWithError(("failed: " + Line.substr(0, 60)).c_str());
}

void BM_RpmFirstLookup(benchmark::State& State) {
    FirstLookup(State, OpenRpmDatabase, Databases().RpmRoot, "/usr/lib/sysimage/rpm");
}
void BM_RpmWarmLookup(benchmark::State& State) {
    WarmLookup(State, OpenRpmDatabase, Databases().RpmRoot, "/usr/lib/sysimage/rpm");
}
void BM_RpmQf(benchmark::State& State) {
    Command(State, "rpm --root " + Databases().RpmRoot + " --dbpath /usr/lib/sysimage/rpm -qf" + Databases().PathList);
}
void BM_PacmanFirstLookup(benchmark::State& State) {
    FirstLookup(State, OpenPacmanDatabase, Databases().PacmanRoot, "/var/lib/pacman");
}
void BM_PacmanWarmLookup(benchmark::State& State) {
    WarmLookup(State, OpenPacmanDatabase, Databases().PacmanRoot, "/var/lib/pacman");
}
void BM_PacmanQo(benchmark::State& State) {
    const std::string Root = Databases().PacmanRoot;
    std::string Paths;
    for (const std::string& Path : Databases().Paths)
        Paths += " " + Root + Path;  // pacman -Qo takes paths as this machine sees them
    Command(State, "pacman --root " + Root + " --dbpath " + Root + "/var/lib/pacman -Qo" + Paths);
}

BENCHMARK(BM_RpmFirstLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RpmWarmLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RpmQf)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PacmanFirstLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PacmanWarmLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PacmanQo)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace quorvane

BENCHMARK_MAIN();
