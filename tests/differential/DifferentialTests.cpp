// The same files read once through the Windows version API and once through
// the PE reader of the Linux build: the values and the failures must agree.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "common/Exception.h"
#include "common/SystemText.h"
#include "tests/versioninfo/pe/CraftedFiles.h"
#include "tests/versioninfo/pe/PeWriter.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/VersionApi.h"
#include "versioninfo/linux/ByteSpan.h"
#include "versioninfo/linux/PeVersionResource.h"
#include "versioninfo/linux/VersionBlock.h"

namespace quorvane {
namespace {

std::vector<std::uint8_t> ReadWholeFile(const std::string& Name) {
    std::ifstream File(Name, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(File), {});
}

// The PE reader as the Linux back-end uses it, for PE files only. Language
// names and the file facts come from Windows: they are not under comparison.
class TPeReaderVersionApi final : public IVersionApi {
public:
    std::uint32_t GetFileVersionInfoSize(const char* FileName, std::uint32_t& Handle,
                                         std::uint32_t& LastError) override {
        Handle = 0;
        const std::vector<std::uint8_t> File = ReadWholeFile(FileName);
        const TReadAt ReadAt = [&File](std::uint64_t Offset, void* Buffer, std::size_t Count) {
            if (Offset > File.size() || Count > File.size() - Offset)
                return false;
            std::memcpy(Buffer, File.data() + Offset, Count);
            return true;
        };
        TPeVersionResource Pe = ReadPeVersionResource(ReadAt, File.size());
        if (Pe.Error != 0) {
            LastError = Pe.Error;
            return 0;
        }
        FResource = std::move(Pe.Data);
        const std::uint32_t Size = PreparedVersionBlockSize(TByteSpan(FResource.data(), FResource.size()));
        LastError = Size == 0 ? kErrorResourceDataNotFound : 0;
        return Size;
    }

    bool GetFileVersionInfo(const char*, std::uint32_t, std::uint32_t Size, void* Data) override {
        return PrepareVersionBlock(TByteSpan(FResource.data(), FResource.size()), Data, Size);
    }

    bool VerQueryValue(void* Block, const char* SubBlock, void*& Value, std::uint32_t& Length) override {
        return QueryVersionBlock(Block, SubBlock, Value, Length);
    }

    std::uint32_t VerLanguageName(std::uint32_t Language, char* Buffer, std::uint32_t BufferSize) override {
        return FWindows->VerLanguageName(Language, Buffer, BufferSize);
    }

    bool FileExists(const std::string& FileName) override { return FWindows->FileExists(FileName); }
    std::string ModuleFileName() override { return FWindows->ModuleFileName(); }
    std::string FileProblem(const std::string& FileName) override { return FWindows->FileProblem(FileName); }

private:
    std::unique_ptr<IVersionApi> FWindows = CreateSystemVersionApi();
    std::vector<std::uint8_t> FResource;
};

// Everything a load yields, or how it failed. Texts in the ANSI code page.
struct TOutcome {
    std::string Failure;  // empty after a load; else the class and code
    std::vector<std::string> Texts;
    std::vector<double> Numbers;
};

TOutcome Read(IVersionApi& Api, const std::string& FileName, bool Utf8Texts) {
    TOutcome Outcome;
    TStVersionInfo Info(nullptr, Api);
    try {
        Info.SetFileName(FileName);
        const auto Text = [&](const std::string& Value) {
            Outcome.Texts.push_back(Utf8Texts ? Utf8ToSystem(Value) : Value);
        };
        Text(Info.Comments());
        Text(Info.CompanyName());
        Text(Info.FileDescription());
        Text(Info.FileVersion());
        Text(Info.InternalName());
        Text(Info.LegalCopyright());
        Text(Info.LegalTrademarks());
        Text(Info.OriginalFilename());
        Text(Info.ProductName());
        Text(Info.ProductVersion());
        Text(Info.LanguageName());
        Outcome.Numbers = {Info.FileDate(),
                           static_cast<double>(Info.FileFlags()),
                           static_cast<double>(Info.FileFlagsMask()),
                           static_cast<double>(Info.FileVersionMS()),
                           static_cast<double>(Info.FileVersionLS()),
                           static_cast<double>(Info.FileOS()),
                           static_cast<double>(Info.FileType()),
                           static_cast<double>(Info.FileSubtype()),
                           Info.FileVersionFloat(),
                           static_cast<double>(Info.TranslationCount()),
                           static_cast<double>(Info.ProductVersionMS()),
                           static_cast<double>(Info.ProductVersionLS()),
                           Info.ProductVersionFloat(),
                           static_cast<double>(Info.TranslationValue())};
    } catch (const EStVersionInfoError& Error) {
        Outcome.Failure = "EStVersionInfoError " + std::to_string(Error.ErrorCode());
    } catch (const EConvertError& Error) {
        Outcome.Failure = std::string("EConvertError ") + Error.what();
    }
    return Outcome;
}

std::string Folder(const std::string& Path) { return Path.substr(0, Path.find_last_of('\\') + 1); }

std::string ProgramFolder() {
    char Buffer[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, Buffer, sizeof Buffer);
    return Folder(Buffer);
}

class DifferentialTest : public ::testing::Test {
protected:
    void SetUp() override {
        char Base[MAX_PATH];
        ASSERT_NE(0u, ::GetTempPathA(sizeof Base, Base));
        FFolder = std::string(Base) + "quorvane-differential-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(FFolder.c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::string& Name : FFiles)
            ::DeleteFileA(Name.c_str());
        ::RemoveDirectoryA(FFolder.c_str());
    }

    std::string Write(const std::string& Name, const std::vector<std::uint8_t>& Bytes) {
        const std::string Path = FFolder + "\\" + Name;
        std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(Bytes.data()),
                                                    static_cast<std::streamsize>(Bytes.size()));
        FFiles.push_back(Path);
        return Path;
    }

    // Both readers on one file; answers the PE reader's outcome for further checks.
    TOutcome ExpectSameOutcome(const std::string& Path) {
        SCOPED_TRACE(Path);
        const std::unique_ptr<IVersionApi> Windows = CreateSystemVersionApi();
        TPeReaderVersionApi PeReader;
        const TOutcome ByWindows = Read(*Windows, Path, false);
        const TOutcome ByPeReader = Read(PeReader, Path, true);
        EXPECT_EQ(ByWindows.Failure, ByPeReader.Failure);
        EXPECT_EQ(ByWindows.Texts, ByPeReader.Texts);
        EXPECT_EQ(ByWindows.Numbers, ByPeReader.Numbers);
        return ByPeReader;
    }

    // The one known difference, kept exact so that a change on either side shows:
    // for an image with resources but no version resource, Windows answers
    // ERROR_RESOURCE_TYPE_NOT_FOUND (1813, code 100) and so does the PE reader,
    // but Wine answers ERROR_RESOURCE_DATA_NOT_FOUND (1812, code 101).
    void ExpectNoVersionResource(const std::string& Path) {
        SCOPED_TRACE(Path);
        std::uint32_t Handle = 0;
        std::uint32_t WindowsError = 0;
        EXPECT_EQ(0u, CreateSystemVersionApi()->GetFileVersionInfoSize(Path.c_str(), Handle, WindowsError));
        TPeReaderVersionApi PeReader;
        std::uint32_t PeReaderError = 0;
        EXPECT_EQ(0u, PeReader.GetFileVersionInfoSize(Path.c_str(), Handle, PeReaderError));
        EXPECT_EQ(kErrorResourceTypeNotFound, PeReaderError);
        if (RunsUnderWine())
            EXPECT_EQ(kErrorResourceDataNotFound, WindowsError) << "Wine now answers as Windows does";
        else
            EXPECT_EQ(kErrorResourceTypeNotFound, WindowsError);
        EXPECT_EQ("EStVersionInfoError 100", Read(PeReader, Path, true).Failure);
    }

    static bool RunsUnderWine() {
        const HMODULE Ntdll = ::GetModuleHandleA("ntdll.dll");
        return Ntdll && ::GetProcAddress(Ntdll, "wine_get_version");
    }

    std::string FFolder;
    std::vector<std::string> FFiles;
};

TEST_F(DifferentialTest, WindresFilesGiveTheSameValues) {
    const TOutcome German = ExpectSameOutcome(ProgramFolder() + "German.exe");
    ASSERT_EQ("", German.Failure);
    EXPECT_EQ("M\xFCller Software GmbH", German.Texts[1]);
    EXPECT_EQ(5.1, German.Numbers[8]);

    const TOutcome Two = ExpectSameOutcome(ProgramFolder() + "TwoTranslations.exe");
    ASSERT_EQ("", Two.Failure);
    EXPECT_EQ("First translation", Two.Texts[1]);  // only the first entry selects
    EXPECT_EQ(2.0, Two.Numbers[9]);

    const TOutcome Missing = ExpectSameOutcome(ProgramFolder() + "MissingStringTable.exe");
    ASSERT_EQ("", Missing.Failure);
    for (std::size_t I = 0; I < 10; ++I)
        EXPECT_EQ("", Missing.Texts[I]);

    const TOutcome Empty = ExpectSameOutcome(ProgramFolder() + "EmptyValues.exe");
    ASSERT_EQ("", Empty.Failure);
    EXPECT_EQ("", Empty.Texts[1]);
    EXPECT_EQ("1, 0, 0, 1", Empty.Texts[3]);
    EXPECT_EQ(0.0, Empty.Numbers[8]);
}

TEST_F(DifferentialTest, FilesWithoutVersionFailAlike) {
    ExpectNoVersionResource(ProgramFolder() + "NoVersion.exe");
    // No executable image at all.
    EXPECT_EQ("EStVersionInfoError 101", ExpectSameOutcome(Write("notes.txt", {'t', 'e', 'x', 't'})).Failure);
}

TEST_F(DifferentialTest, PeWriterFilesGiveTheSameValuesAndFailures) {
    using namespace pewriter;
    const auto Pe = [](const TVersionRecipe& Version, bool Pe32Plus) {
        TPeRecipe Recipe;
        Recipe.Pe32Plus = Pe32Plus;
        Recipe.Resources.push_back({kRtVersion, 1, 0x0407, Version.Build()});
        return BuildPe(Recipe).Bytes;
    };

    EXPECT_EQ("", ExpectSameOutcome(Write("sample32.exe", Pe(SampleVersion(), false))).Failure);
    EXPECT_EQ("", ExpectSameOutcome(Write("sample64.exe", Pe(SampleVersion(), true))).Failure);

    TVersionRecipe Dated = SampleVersion();
    Dated.Fixed->FileDateMS = 0x01D00000;
    Dated.Fixed->FileDateLS = 0x12345678;
    EXPECT_EQ("", ExpectSameOutcome(Write("dated.exe", Pe(Dated, false))).Failure);

    TVersionRecipe TopBit = SampleVersion();
    TopBit.Fixed->FileDateMS = 0x80000000;
    EXPECT_NE("", ExpectSameOutcome(Write("topbit.exe", Pe(TopBit, false))).Failure);

    TVersionRecipe Short = SampleVersion();
    Short.Translation = TBytes{0x07, 0x04};  // shorter than one entry
    ExpectSameOutcome(Write("short.exe", Pe(Short, false)));

    TVersionRecipe Untranslated = SampleVersion();
    Untranslated.Translation.reset();
    EXPECT_EQ("EStVersionInfoError 101", ExpectSameOutcome(Write("untranslated.exe", Pe(Untranslated, false))).Failure);

    TPeRecipe NoResources;
    NoResources.ResourceSection = false;
    EXPECT_EQ("EStVersionInfoError 101", ExpectSameOutcome(Write("bare.exe", BuildPe(NoResources).Bytes)).Failure);

    TPeRecipe ManifestOnly;
    ManifestOnly.Resources.push_back({kRtManifest, 1, 0x0409, TBytes{'<', 'a', '/', '>'}});
    ExpectNoVersionResource(Write("manifest.exe", BuildPe(ManifestOnly).Bytes));
}

TEST_F(DifferentialTest, CraftedVersionResourcesGiveTheSameValuesAndFailures) {
    for (const bool Pe32Plus : {false, true}) {
        for (const pewriter::TCraftedFile& File : pewriter::CraftedVersionFiles(Pe32Plus)) {
            const TOutcome Outcome = ExpectSameOutcome(Write((Pe32Plus ? "64-" : "32-") + File.Name, File.Bytes));
            EXPECT_EQ(Outcome.Failure, File.ReaderCode == 0 ? "" : "EStVersionInfoError " + std::to_string(File.ReaderCode))
                << File.Name;
            if (Outcome.Failure.empty() && File.ReaderCode == 0) {
                EXPECT_EQ(Outcome.Texts[1], Utf8ToSystem(File.CompanyName)) << File.Name;
                EXPECT_EQ(Outcome.Texts[2], Utf8ToSystem(File.FileDescription)) << File.Name;
            }
        }
    }
}

#ifdef QUORVANE_REPORT_PROGRAM_RELATIVE
DWORD RunProgram(std::string CommandLine, const std::string& Output) {
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    const HANDLE Out = ::CreateFileA(Output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &Inherit, CREATE_ALWAYS, 0, nullptr);
    if (Out == INVALID_HANDLE_VALUE)
        return 0xFFFFFFFF;
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdOutput = Out;
    Startup.hStdError = Out;
    PROCESS_INFORMATION Child{};
    DWORD Code = 0xFFFFFFFF;
    if (::CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Startup, &Child)) {
        ::WaitForSingleObject(Child.hProcess, INFINITE);
        ::GetExitCodeProcess(Child.hProcess, &Code);
        ::CloseHandle(Child.hThread);
        ::CloseHandle(Child.hProcess);
    }
    ::CloseHandle(Out);
    return Code;
}

// The report command rates every crafted file, one line each, and ends
// normally: a version block whose root claims more than the resource once made
// the version API write its ANSI copies past the block.
TEST_F(DifferentialTest, ReportCommandRatesEveryCraftedFile) {
    std::string Relative = QUORVANE_REPORT_PROGRAM_RELATIVE;
    std::replace(Relative.begin(), Relative.end(), '/', '\\');
    std::string CommandLine = "\"" + ProgramFolder() + Relative + "\" --files";
    const auto Files = pewriter::CraftedVersionFiles(false);
    for (const pewriter::TCraftedFile& File : Files)
        CommandLine += " \"" + Write(File.Name, File.Bytes) + "\"";
    const std::string Output = FFolder + "\\report.tsv";
    FFiles.push_back(Output);
    ASSERT_EQ(0u, RunProgram(CommandLine, Output));
    std::ifstream Report(Output, std::ios::binary);
    std::string Line;
    std::getline(Report, Line);  // header
    for (const pewriter::TCraftedFile& File : Files) {
        ASSERT_TRUE(std::getline(Report, Line)) << File.Name;
        EXPECT_NE(std::string::npos, Line.find(File.Name)) << Line;
        if (File.ReaderCode == 0 && File.CompanyName.find_first_of("\r\n\t") == std::string::npos) {
            EXPECT_NE(std::string::npos, Line.find("\t" + Utf8ToSystem(File.CompanyName) + "\t")) << Line;
        }
    }
}
#endif

}  // namespace
}  // namespace quorvane
