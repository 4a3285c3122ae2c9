// Where a rating comes from: the explanation of every outcome of a version
// read, the package facts of a record, and running images that no longer
// are the file at their path.
#include "catalogue/Provenance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "catalogue/Catalogue.h"
#include "fakes/FakeProcessSource.h"
#include "fakes/FakeVersionApi.h"
#include "fakes/SystemText.h"
#include "resources/StringTable.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::Process;
using testing::ProcessWithImage;
using testing::Sys;
using testing::TFakeProcessSource;
using testing::TFakeVersionApi;
using testing::TFakeVersionFile;

TVersionSource Source(TVersionSourceKind Kind, TPackageCheck Check = TPackageCheck::NotListed,
                      std::string Package = {}, std::string Version = {}, std::string Manager = "dpkg") {
    const bool Listed = !Package.empty();
    return TVersionSource{Kind, Check, std::move(Package), std::move(Version), Listed ? std::move(Manager) : "", {}};
}

TVersionSource Unread(TVersionSourceKind Kind) {
    TVersionSource Unread = Source(Kind);
    Unread.UnreadDatabases = {{"rpm", "/var/lib/rpm", "sie hat das Format ndb, das die geladene librpm nicht liest"}};
    return Unread;
}

TFakeVersionFile Failing(std::uint32_t Error) {
    TFakeVersionFile File;
    File.SizeError = Error;
    return File;
}

TEST(ProvenanceTest, TheExplanationNamesTheSourceAndWhatItHeld) {
    struct TCase {
        const char* Path;
        TFakeVersionFile File;
        TVersionSource Source;
        const char* Explanation;  // UTF-8
        TRiskLevel Level;
    };
    TFakeVersionFile BadDate = FakeFile("Firma", "", "");
    BadDate.Fixed(0x00010000, 0, 0x80000000, 0);
    const TCase Cases[] = {
        {"/res/maker", FakeFile("Firma", "", ""), Source(TVersionSourceKind::FileResource),
         "Versionsressource der Programmdatei: der Hersteller ist angegeben.", rlSlightlyDangerous},
        {"/res/described", FakeFile("", "Werkzeug", ""), Source(TVersionSourceKind::FileResource),
         "Versionsressource der Programmdatei: ein Hersteller fehlt, Beschreibung oder Version sind angegeben.",
         rlMediumDangerous},
        {"/res/empty", FakeFile("", "", ""), Source(TVersionSourceKind::FileResource),
         "Versionsressource der Programmdatei: Hersteller, Beschreibung und Version fehlen.", rlPotentiallyDangerous},
        {"/res/none", Failing(kErrorResourceTypeNotFound), Source(TVersionSourceKind::FileResource),
         "Die Programmdatei trägt keine Versionsressource.", rlPotentiallyDangerous},
        {"/res/broken", Failing(kErrorResourceDataNotFound), Source(TVersionSourceKind::FileResource),
         "Die Datei enthält keine lesbaren Versionsangaben: sie ist kein ausführbares Programm, oder ihre "
         "Versionsressource ist beschädigt.",
         rlPotentiallyDangerous},
        {"/res/bad-date", BadDate, Source(TVersionSourceKind::FileResource),
         "Das Dateidatum in der Versionsressource ist ungültig, darum lassen sich die Versionsangaben nicht lesen.",
         rlPotentiallyDangerous},
        {"/usr/lib/wine/notepad.exe", FakeFile("Wine", "Wine Notepad", "8.0"),
         Source(TVersionSourceKind::FileResource, TPackageCheck::Verified, "libwine", "8.0~repack-4"),
         "Versionsressource der Programmdatei: der Hersteller ist angegeben. Das Paket libwine 8.0~repack-4 (dpkg) "
         "enthält die Datei, und ihr Inhalt stimmt mit seiner Prüfsumme überein.",
         rlSlightlyDangerous},
        {"/usr/lib/wine/changed.exe", FakeFile("Wine", "", ""),
         Source(TVersionSourceKind::FileResource, TPackageCheck::Changed, "libwine", "8.0~repack-4"),
         "Der Inhalt weicht von der Prüfsumme des Pakets libwine (dpkg) ab: die Datei wurde nach der Installation "
         "verändert. Versionsressource der Programmdatei: der Hersteller ist angegeben.",
         rlSlightlyDangerous},
        {"/usr/bin/bash", FakeFile("Matthias Klose", "GNU Bourne Again SHell", "5.2.15-2+b8"),
         Source(TVersionSourceKind::Package, TPackageCheck::Verified, "bash", "5.2.15-2+b8"),
         "Paket bash 5.2.15-2+b8 (dpkg); der Inhalt stimmt mit der Prüfsumme des Pakets überein.", rlSlightlyDangerous},
        {"/usr/bin/orphan", FakeFile("", "Verwaist", "1"),
         Source(TVersionSourceKind::Package, TPackageCheck::Verified, "orphan", "1"),
         "Paket orphan 1 (dpkg); der Inhalt stimmt mit der Prüfsumme des Pakets überein. Das Paket nennt keinen Betreuer, "
         "der als Hersteller gelten könnte.",
         rlMediumDangerous},
        {"/usr/bin/hostname", Failing(kErrorResourceDataNotFound),
         Source(TVersionSourceKind::None, TPackageCheck::Changed, "hostname", "3.23"),
         "Der Inhalt weicht von der Prüfsumme des Pakets hostname (dpkg) ab: die Datei wurde nach der Installation "
         "verändert. Die Datei selbst ist kein ausführbares Programm mit Versionsangaben.",
         rlPotentiallyDangerous},
        {"/usr/bin/patched", FakeFile("Jemand", "", ""),
         Source(TVersionSourceKind::PackageNote, TPackageCheck::Changed, "patched", "2"),
         "Der Inhalt weicht von der Prüfsumme des Pakets patched (dpkg) ab: die Datei wurde nach der Installation "
         "verändert. Paketnotiz in der Programmdatei selbst: der Hersteller ist angegeben.",
         rlSlightlyDangerous},
        {"/usr/bin/unsummed", Failing(kErrorResourceTypeNotFound),
         Source(TVersionSourceKind::None, TPackageCheck::NoChecksum, "unsummed", "1"),
         "Das Paket unsummed (dpkg) verzeichnet für diese Datei keine Prüfsumme und bürgt darum nicht für ihren Inhalt. "
         "Die Datei selbst trägt keine Versionsangaben.",
         rlPotentiallyDangerous},
        {"/usr/bin/fedora", FakeFile("Fedora Project", "The GNU Bourne Again shell", "5.2.26-3.fc40"),
         Source(TVersionSourceKind::Package, TPackageCheck::Verified, "bash", "5.2.26-3.fc40", "rpm"),
         "Paket bash 5.2.26-3.fc40 (rpm); der Inhalt stimmt mit der Prüfsumme des Pakets überein.",
         rlSlightlyDangerous},
        {"/opt/unread", Failing(kErrorResourceTypeNotFound), Unread(TVersionSourceKind::None),
         "Die rpm-Datenbank /var/lib/rpm lässt sich nicht lesen (sie hat das Format ndb, das die geladene librpm "
         "nicht liest); ob eines ihrer Pakete die Datei enthält, bleibt offen. Die Datei selbst trägt keine "
         "Versionsangaben.",
         rlPotentiallyDangerous},
        {"/opt/noted", FakeFile("", "", "1.0"), Source(TVersionSourceKind::PackageNote),
         "Kein installiertes Paket enthält diese Datei. Paketnotiz in der Programmdatei selbst: ein Hersteller fehlt, "
         "Beschreibung oder Version sind angegeben.",
         rlMediumDangerous},
        {"/opt/bare", Failing(kErrorResourceTypeNotFound), Source(TVersionSourceKind::None),
         "Kein installiertes Paket enthält diese Datei, und sie trägt keine Versionsangaben.", rlPotentiallyDangerous},
        {"/opt/text", Failing(kErrorResourceDataNotFound), Source(TVersionSourceKind::None),
         "Kein installiertes Paket enthält diese Datei, und sie ist kein ausführbares Programm mit Versionsangaben.",
         rlPotentiallyDangerous},
    };
    TFakeVersionApi Versions;
    for (const TCase& Case : Cases) {
        Versions.Add(Case.Path, Case.File);
        Versions.Sources[Case.Path] = Case.Source;
    }
    TStVersionInfo Reader(nullptr, Versions);
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Path);
        TNodeData Data;
        Data.ImagePath = Case.Path;
        RateFile(Data, Reader);
        EXPECT_EQ(Data.Explanation, Sys(Case.Explanation));
        EXPECT_EQ(Data.RiskLevel, Case.Level);
        const bool Listed = Case.Source.Check != TPackageCheck::NotListed;
        EXPECT_EQ(Data.PackageName, Listed ? Case.Source.PackageName : "");
        EXPECT_EQ(Data.PackageVersion, Listed ? Case.Source.PackageVersion : "");
        EXPECT_EQ(Data.PackageManager, Listed ? Case.Source.PackageManager : "");
        EXPECT_EQ(Data.PackageVerified, Case.Source.Check == TPackageCheck::Verified);
    }

    // A name that fails the existence test is never loaded: the source of the
    // file read before it must not speak for it.
    TNodeData Missing;
    Missing.ImagePath = "/opt/missing";
    RateFile(Missing, Reader);
    EXPECT_EQ(Missing.Explanation, Sys("Die Datei lässt sich nicht öffnen: sie fehlt, ist ein Verzeichnis oder hat ein "
                                       "ungültiges Änderungsdatum."));
    EXPECT_EQ(Missing.PackageName, "");
}

class RunningImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Processes.Processes = {Process("[System Process]", 0, 0, 2), Process("denied", 1, 0)};
        Processes.Processes[1].ImageRemark = "Permission denied";
        Versions.Add("/usr/bin/updated", FakeFile("Neue Firma", "neu", "2.0"));
    }

    // A process whose image is read under ContentPath, which holds File.
    void AddGone(const std::string& Name, std::uint32_t Id, TImageState State, const std::string& ImagePath,
                 const TFakeVersionFile& File, const TVersionSource& From) {
        auto P = ProcessWithImage(Name, Id, 1, ImagePath);
        P.Origin = TImageOrigin{State, "/proc/" + std::to_string(Id) + "/exe"};
        Processes.Processes.push_back(P);
        Versions.Add(P.Origin.ContentPath, File);
        Versions.Sources[P.Origin.ContentPath] = From;
    }

    const TNodeData& Record(const std::string& Name) const {
        for (const TCatalogueNode* Node : Catalogue.TreeOrder())
            if (Node->Text == Name)
                return *Node->Data();
        throw std::runtime_error("no node " + Name);
    }

    TFakeProcessSource Processes;
    TFakeVersionApi Versions;
    TStVersionInfo Reader{nullptr, Versions};
    TCatalogue Catalogue{Processes, Reader};
};

TEST_F(RunningImageTest, AnImageThatIsGoneKeepsOnlyWhatItsPackageVouchesFor) {
    // Updated since its start: the running image still has its old resource,
    // which nothing vouches for; the new file at its path is never read.
    AddGone("updated", 5, TImageState::Replaced, "/usr/bin/updated", FakeFile("Alte Firma", "alt", "1.0"),
            Source(TVersionSourceKind::FileResource));
    AddGone("vouched", 6, TImageState::Deleted, "/usr/bin/vouched", FakeFile("Matthias Klose", "Shell", "5.2"),
            Source(TVersionSourceKind::Package, TPackageCheck::Verified, "bash", "5.2"));
    AddGone("memfd:runner", 7, TImageState::MemoryOnly, "memfd:runner", FakeFile("Behauptet", "", ""),
            Source(TVersionSourceKind::PackageNote));
    Catalogue.ReloadCatalogue();

    const TNodeData& Updated = Record("updated");
    EXPECT_EQ(Updated.ImagePath, "/usr/bin/updated");  // the path it was started from
    EXPECT_EQ(Updated.ImageState, TImageState::Replaced);
    EXPECT_EQ(Updated.CompanyName, "");
    EXPECT_EQ(Updated.FileVersion, "");
    EXPECT_EQ(Updated.LanguageName, "");
    EXPECT_EQ(Updated.RiskLevel, rlPotentiallyDangerous);
    EXPECT_EQ(Updated.Remark, LoadStr(TStringId::sRemarkNoFileInfo));
    EXPECT_EQ(Updated.Explanation, Sys("Die Programmdatei wurde nach dem Start gelöscht oder ersetzt, etwa durch ein "
                                       "Update; ein Neustart des Programms lädt die aktuelle Datei."));

    const TNodeData& Vouched = Record("vouched");
    EXPECT_EQ(Vouched.CompanyName, "Matthias Klose");
    EXPECT_EQ(Vouched.RiskLevel, rlSlightlyDangerous);
    EXPECT_TRUE(Vouched.PackageVerified);
    EXPECT_EQ(Vouched.Explanation, Sys("Die Programmdatei wurde nach dem Start gelöscht oder ersetzt; der Inhalt des "
                                       "laufenden Programms stimmt aber noch mit der Prüfsumme des Pakets bash 5.2 "
                                       "(dpkg) überein."));

    const TNodeData& Memory = Record("memfd:runner");
    EXPECT_EQ(Memory.CompanyName, "");
    EXPECT_EQ(Memory.RiskLevel, rlPotentiallyDangerous);
    EXPECT_EQ(Memory.ImageState, TImageState::MemoryOnly);
    EXPECT_EQ(Memory.Explanation, LoadStr(TStringId::sExplainMemoryOnly));
}

TEST_F(RunningImageTest, EveryRecordExplainsItsRating) {
    Processes.Processes.push_back(ProcessWithImage("updated", 8, 1, "/usr/bin/updated"));
    Processes.Processes.push_back(Process("System", 4, 0));
    Catalogue.ReloadCatalogue();
    ASSERT_EQ(Catalogue.Count(), 4u);
    for (const TCatalogueNode* Node : Catalogue.TreeOrder())
        EXPECT_FALSE(Node->Data()->Explanation.empty()) << Node->Text;
    EXPECT_EQ(Record("[System Process]").Explanation, Record("System").Explanation);
    EXPECT_EQ(Record("System").Explanation, LoadStr(TStringId::sExplainKernel));
    EXPECT_EQ(Record("denied").Explanation, Sys("Die Programmdatei des Prozesses lässt sich nicht ermitteln "
                                                "(Permission denied), darum ist keine Bewertung möglich."));
    EXPECT_EQ(Record("updated").ImageState, TImageState::Unknown);  // the fake does not examine it
    EXPECT_EQ(Record("updated").CompanyName, "Neue Firma");
}

TEST_F(RunningImageTest, EachReloadReadsTheFilesAgain) {
    // Within a reload, one read per run of processes with the same image;
    // a new reload reads again, since the file may have changed meanwhile.
    Processes.Processes.push_back(ProcessWithImage("updated", 8, 1, "/usr/bin/updated"));
    Processes.Processes.push_back(ProcessWithImage("updated", 9, 1, "/usr/bin/updated"));
    Catalogue.ReloadCatalogue();
    EXPECT_EQ(Versions.SizeCalls, 1);
    Versions.Add("/usr/bin/updated", FakeFile("Noch neuere Firma", "", ""));
    Catalogue.ReloadCatalogue();
    EXPECT_EQ(Versions.SizeCalls, 2);
    EXPECT_EQ(Record("updated").CompanyName, "Noch neuere Firma");
}

// Processes that run one image are rated from one reading of it, and each
// gets the record that reading the file for it alone would give: the values
// and rating of the file, but its own remark, image state and explanation.
TEST_F(RunningImageTest, ProcessesOfOneImageGetTheRecordsOfSeparateReadings) {
    Versions.Add("/usr/bin/tool", FakeFile("", "Werkzeug", "1.0"));  // no maker: the rule sets the remark
    Versions.Add("/usr/bin/missing-data", Failing(kErrorResourceTypeNotFound));
    Versions.Sources["/usr/bin/updated"] = Source(TVersionSourceKind::Package, TPackageCheck::Verified, "upd", "2");
    auto Denied = ProcessWithImage("updated", 11, 1, "/usr/bin/updated");
    Denied.TimesRemark = "Permission denied";  // a probe's remark stays beside a maker
    Processes.Processes.push_back(ProcessWithImage("updated", 10, 1, "/usr/bin/updated"));
    Processes.Processes.push_back(ProcessWithImage("tool", 20, 1, "/usr/bin/tool"));
    Processes.Processes.push_back(Denied);
    Processes.Processes.push_back(ProcessWithImage("missing-data", 30, 1, "/usr/bin/missing-data"));
    Processes.Processes.push_back(ProcessWithImage("tool", 21, 10, "/usr/bin/tool"));
    Processes.Processes.push_back(ProcessWithImage("missing-data", 31, 1, "/usr/bin/missing-data"));
    Processes.Processes.push_back(ProcessWithImage("gone", 40, 1, "/usr/bin/gone"));
    Processes.Processes.back().Origin = TImageOrigin{TImageState::Deleted, "/proc/40/exe"};
    Versions.Add("/proc/40/exe", FakeFile("Alt", "", ""));
    AddGone("updated", 12, TImageState::Replaced, "/usr/bin/updated", FakeFile("Vorher", "", "0.9"),
            Source(TVersionSourceKind::FileResource));
    Catalogue.ReloadCatalogue();

    // One existence test and one read per image path; an image read through
    // its process's link is read for that process alone.
    EXPECT_EQ(Versions.ExistenceTests, 5);
    EXPECT_EQ(Versions.SizeCalls, 5);

    // The records of separate readings, each with a reader of its own.
    std::vector<TNodeData> Expected;
    for (const TCatalogueNode* Node : Catalogue.TreeOrder()) {
        const TNodeData& Got = *Node->Data();
        if (Got.ImagePath.empty())
            continue;
        TNodeData Alone;
        Alone.ProcessId = Got.ProcessId;
        std::uint32_t Id = Got.ProcessId;
        const auto& P = *std::find_if(Processes.Processes.begin(), Processes.Processes.end(),
                                      [Id](const auto& P) { return P.Entry.ProcessId == Id; });
        Alone.ImagePath = *P.ImagePath;
        if (P.TimesRemark)
            Alone.Remark = *P.TimesRemark;
        TStVersionInfo OwnReader(nullptr, Versions);
        RateRunningImage(Alone, OwnReader, P.Origin);
        SCOPED_TRACE(Got.ProcessId);
        EXPECT_EQ(Got.CompanyName, Alone.CompanyName);
        EXPECT_EQ(Got.FileDescription, Alone.FileDescription);
        EXPECT_EQ(Got.FileVersion, Alone.FileVersion);
        EXPECT_EQ(Got.LanguageName, Alone.LanguageName);
        EXPECT_EQ(Got.RiskLevel, Alone.RiskLevel);
        EXPECT_EQ(Got.Remark, Alone.Remark);
        EXPECT_EQ(Got.ImageState, Alone.ImageState);
        EXPECT_EQ(Got.PackageName, Alone.PackageName);
        EXPECT_EQ(Got.PackageVersion, Alone.PackageVersion);
        EXPECT_EQ(Got.PackageVerified, Alone.PackageVerified);
        EXPECT_EQ(Got.Explanation, Alone.Explanation);
        Expected.push_back(Alone);
    }
    ASSERT_EQ(Expected.size(), 8u);

    // Spot checks that the comparison above compares something.
    const auto Of = [this](std::uint32_t Id) -> const TNodeData& {
        for (const TCatalogueNode* Node : Catalogue.TreeOrder())
            if (Node->Data()->ProcessId == Id)
                return *Node->Data();
        throw std::runtime_error("no process " + std::to_string(Id));
    };
    EXPECT_EQ(Of(11).Remark, "Permission denied");
    EXPECT_EQ(Of(10).Remark, "");
    EXPECT_EQ(Of(11).CompanyName, "Neue Firma");
    EXPECT_TRUE(Of(11).PackageVerified);
    EXPECT_EQ(Of(21).Remark, LoadStr(TStringId::sRemarkNoCompanyInfo));
    EXPECT_EQ(Of(31).RiskLevel, rlPotentiallyDangerous);
    EXPECT_EQ(Of(12).CompanyName, "");  // the old image at the shared path is not the file there now
    EXPECT_EQ(Of(12).ImageState, TImageState::Replaced);
    EXPECT_EQ(Of(40).ImageState, TImageState::Deleted);
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

TSignature Verdict(TSignatureStatus Status, std::string Signer = {}, std::string Issuer = {},
                   TSignatureSource Source = TSignatureSource::Embedded, TTrustProblem Problem = TTrustProblem::None) {
    TSignature Signature;
    Signature.Status = Status;
    Signature.Signer = std::move(Signer);
    Signature.Issuer = std::move(Issuer);
    Signature.Source = Source;
    Signature.Problem = Problem;
    return Signature;
}

TEST(SignatureExplanationTest, NamesEveryVerdictInOneSentence) {
    TSignature Failure = Verdict(TSignatureStatus::Error);
    Failure.Message = "Zugriff verweigert.";
    const struct {
        TSignature Signature;
        const char* Sentence;
    } Cases[] = {
        {Verdict(TSignatureStatus::NotChecked), ""},
        {Verdict(TSignatureStatus::Pending), "Die Signatur wird geprüft."},
        {Verdict(TSignatureStatus::Trusted, "Microsoft Windows", "Microsoft Windows Production PCA 2011"),
         "Signiert von Microsoft Windows (Aussteller: Microsoft Windows Production PCA 2011); die Signatur ist "
         "gültig."},
        {Verdict(TSignatureStatus::Trusted, "Microsoft Windows", "Microsoft Windows Production PCA 2011",
                 TSignatureSource::Catalog),
         "Signiert von Microsoft Windows (Aussteller: Microsoft Windows Production PCA 2011) in einem "
         "Sicherheitskatalog des Systems; die Signatur ist gültig."},
        {Verdict(TSignatureStatus::Untrusted, "X", "Y", TSignatureSource::Embedded, TTrustProblem::Chain),
         "Signiert von X, aber die Zertifikatskette endet nicht bei einer vertrauenswürdigen Stelle."},
        {Verdict(TSignatureStatus::Untrusted, "X", "Y", TSignatureSource::Embedded, TTrustProblem::Expired),
         "Signiert von X, aber ein Zertifikat ist abgelaufen, und kein Zeitstempel belegt, dass vorher signiert "
         "wurde."},
        {Verdict(TSignatureStatus::Untrusted, "X", "Y", TSignatureSource::Catalog, TTrustProblem::Revoked),
         "Signiert von X, aber ein Zertifikat der Kette wurde widerrufen."},
        {Verdict(TSignatureStatus::Untrusted, "", "", TSignatureSource::Embedded, TTrustProblem::Chain),
         "Signiert von einem Zertifikat ohne Namen, aber die Zertifikatskette endet nicht bei einer "
         "vertrauenswürdigen Stelle."},
        {Verdict(TSignatureStatus::Tampered),
         "Die Signatur passt nicht mehr zum Inhalt: die Datei wurde nach dem Signieren verändert."},
        {Verdict(TSignatureStatus::Unsigned), "Die Datei ist nicht signiert."},
        {Failure, "Die Signatur lässt sich nicht prüfen: Zugriff verweigert."},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(ExplainSignature(Case.Signature), Sys(Case.Sentence));
}

TEST(SignatureExplanationTest, EachVerdictReplacesTheSentenceBeforeItAndTheRatingStays) {
    TFakeProcessSource Source;
    TFakeVersionApi Api;
    Api.Add("/opt/tool", FakeFile("ACME", "Tool", "1.0"));
    Api.Add("/opt/bare", TFakeVersionFile());
    Source.Processes = {ProcessWithImage("tool", 10, 0, "/opt/tool"), ProcessWithImage("bare", 11, 10, "/opt/bare"),
                        ProcessWithImage("again", 12, 10, "/opt/tool"), Process("orphan", 13, 0)};
    TStVersionInfo Reader(nullptr, Api);
    TCatalogue Catalogue(Source, Reader);
    Catalogue.ReloadCatalogue();
    EXPECT_EQ(Catalogue.ImageFiles(), (std::vector<std::string>{"/opt/tool", "/opt/bare"}));

    const TNodeData& Tool = *Catalogue.Node(0).Data();
    const std::string Rating = Tool.Explanation;
    EXPECT_EQ(Catalogue.SetSignature("/opt/tool", Verdict(TSignatureStatus::Pending)),
              (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(Tool.Explanation, Rating + " " + Sys("Die Signatur wird geprüft."));
    Catalogue.SetSignature("/opt/tool", Verdict(TSignatureStatus::Tampered));
    EXPECT_EQ(Tool.Explanation, Rating + " " + ExplainSignature(Verdict(TSignatureStatus::Tampered)));
    EXPECT_EQ(Catalogue.Node(2).Data()->Explanation, Tool.Explanation) << "every process of the image";
    EXPECT_EQ(Tool.Signature.Status, TSignatureStatus::Tampered);
    EXPECT_EQ(Tool.RiskLevel, rlSlightlyDangerous) << "a broken signature does not change the rating";
    Catalogue.SetSignature("/opt/tool", Verdict(TSignatureStatus::NotChecked));
    EXPECT_EQ(Tool.Explanation, Rating);

    EXPECT_TRUE(Catalogue.SetSignature("/opt/other", Verdict(TSignatureStatus::Unsigned)).empty());
    const std::string Orphan = Catalogue.Node(3).Data()->Explanation;
    EXPECT_EQ(Catalogue.SetSignature("", Verdict(TSignatureStatus::Unsigned)).size(), 0u);
    EXPECT_EQ(Catalogue.Node(3).Data()->Explanation, Orphan) << "no image file, no signature";

    // A record without explanation gets the sentence alone.
    TNodeData Bare;
    SetSignature(Bare, Verdict(TSignatureStatus::Unsigned));
    EXPECT_EQ(Bare.Explanation, Sys("Die Datei ist nicht signiert."));
}

}  // namespace
}  // namespace quorvane
