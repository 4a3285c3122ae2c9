// The debug privilege, as the reload shows it in panel 2.
#include <memory>

#include "catalogue/Catalogue.h"
#include "probes/Probes.h"
#include "probes/win32/SystemProbes.h"
#include "tests/probes/win32/ProbeFixture.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/VersionApi.h"

namespace quorvane::win32::testing {
namespace {

HANDLE FakeToken() { return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x0815)); }

struct TTokenLog {
    bool OpenFails = false;
    bool LookupFails = false;
    bool AdjustFails = false;
    DWORD Access = 0;
    int AdjustCalls = 0;
    bool LookupArgumentsRight = false;
    bool AdjustArgumentsRight = false;
};

TTokenLog& TokenLog() {
    static TTokenLog Log;
    return Log;
}

BOOL WINAPI StandInOpenProcessToken(HANDLE Process, DWORD Access, PHANDLE Token) {
    EXPECT_EQ(::GetCurrentProcess(), Process);
    TokenLog().Access = Access;
    if (TokenLog().OpenFails)
        return FALSE;
    *Token = FakeToken();
    return TRUE;
}

BOOL WINAPI StandInLookup(LPCSTR System, LPCSTR Name, PLUID Luid) {
    TokenLog().LookupArgumentsRight = System == nullptr && std::string(Name) == "SeDebugPrivilege";
    if (TokenLog().LookupFails)
        return FALSE;
    Luid->LowPart = 20;
    Luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI StandInAdjust(HANDLE Token, BOOL DisableAll, PTOKEN_PRIVILEGES Request, DWORD Length,
                          PTOKEN_PRIVILEGES Previous, PDWORD ReturnLength) {
    ++TokenLog().AdjustCalls;
    TokenLog().AdjustArgumentsRight = Token == FakeToken() && !DisableAll && Request->PrivilegeCount == 1 &&
                                      Request->Privileges[0].Luid.LowPart == 20 &&
                                      Request->Privileges[0].Attributes == SE_PRIVILEGE_ENABLED && Length == 16 &&
                                      Previous && ReturnLength;
    return TokenLog().AdjustFails ? FALSE : TRUE;
}

class PrivilegeTest : public ProbeTest {
protected:
    void SetUp() override {
        ProbeTest::SetUp();
        TokenLog() = TTokenLog();
        RecordHandlesAndErrors();
        Win32Calls().OpenProcessToken = StandInOpenProcessToken;
        Win32Calls().LookupPrivilegeValueA = StandInLookup;
        Win32Calls().AdjustTokenPrivileges = StandInAdjust;
    }
};

TEST_F(PrivilegeTest, EnablesTheOnePrivilegeAndClosesTheToken) {
    EXPECT_EQ("", EnableDebugPrivilege());
    EXPECT_EQ(0x28u, TokenLog().Access);
    EXPECT_TRUE(TokenLog().LookupArgumentsRight);
    EXPECT_TRUE(TokenLog().AdjustArgumentsRight);
    EXPECT_EQ(std::vector<HANDLE>{FakeToken()}, CallLog().Closed);
}

TEST_F(PrivilegeTest, AFailedTokenOpenIsReportedWithTheUnsignedErrorNumber) {
    TokenLog().OpenFails = true;
    CallLog().LastError = 5;
    EXPECT_EQ("OPENPROCESSTOKEN=5", EnableDebugPrivilege());
    EXPECT_EQ(0, TokenLog().AdjustCalls);
    EXPECT_TRUE(CallLog().Closed.empty());
    CallLog().LastError = 0xE0000001;
    EXPECT_EQ("OPENPROCESSTOKEN=3758096385", EnableDebugPrivilege());
}

TEST_F(PrivilegeTest, AFailedAdjustmentIsReportedAndTheTokenClosed) {
    TokenLog().AdjustFails = true;
    CallLog().LastError = 1300;
    EXPECT_EQ("ADJUSTTOKENPRIVILEGES=1300", EnableDebugPrivilege());
    EXPECT_EQ(std::vector<HANDLE>{FakeToken()}, CallLog().Closed);
}

TEST_F(PrivilegeTest, AFailedLookupCountsAsAFailedAdjustment) {
    TokenLog().LookupFails = true;
    CallLog().LastError = 1313;
    EXPECT_EQ("ADJUSTTOKENPRIVILEGES=1313", EnableDebugPrivilege());
    EXPECT_EQ(0, TokenLog().AdjustCalls);  // never with an unset identifier
    EXPECT_EQ(std::vector<HANDLE>{FakeToken()}, CallLog().Closed);
}

TEST_F(PrivilegeTest, PanelTwoFollowsEachReloadAndTheWalkRunsRegardless) {
    // The real process list and version API; only the token calls are stand-ins.
    Win32Calls().CloseHandle = ProbeTest::SavedCloseHandle();
    const std::unique_ptr<IProcessSource> Source = CreateSystemProcessSource();
    const std::unique_ptr<IVersionApi> Api = CreateSystemVersionApi();
    TStVersionInfo VersionInfo(nullptr, *Api);
    TCatalogue Catalogue(*Source, VersionInfo);

    EXPECT_EQ("", Catalogue.ReloadCatalogue().PrivilegeStatus);
    TokenLog().OpenFails = true;
    CallLog().LastError = 1346;
    const TReloadStatus Failed = Catalogue.ReloadCatalogue();
    EXPECT_EQ("OPENPROCESSTOKEN=1346", Failed.PrivilegeStatus);
    EXPECT_GT(Catalogue.Count(), 1u);
    TokenLog().OpenFails = false;
    EXPECT_EQ("", Catalogue.ReloadCatalogue().PrivilegeStatus);
}

TEST(Privilege, IsEnabledForReal) { EXPECT_EQ("", EnableDebugPrivilege()); }

}  // namespace
}  // namespace quorvane::win32::testing
