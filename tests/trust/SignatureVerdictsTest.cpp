// The verdicts kept by file identity, and the worker that computes them off
// the calling thread.
#include "trust/SignatureVerdicts.h"
#include "trust/SignatureWorker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "fakes/FakeSignatureCheck.h"

namespace quorvane {
namespace {

using testing::FakeSignatureCheck;

TEST(SignatureVerdictsTest, VerifiesAFileAgainOnlyWhenItsIdentityChanges) {
    FakeSignatureCheck Check;
    Check.Add("a.exe", TSignatureStatus::Trusted, "Maker", "Root");
    Check.Add("b.exe", TSignatureStatus::Unsigned);
    TSignatureVerdicts Verdicts(Check);

    EXPECT_EQ(Verdicts.Verdict("a.exe").Signer, "Maker");
    EXPECT_EQ(Verdicts.Verdict("a.exe").Status, TSignatureStatus::Trusted);
    EXPECT_EQ(Verdicts.Verdict("b.exe").Status, TSignatureStatus::Unsigned);
    EXPECT_EQ(Check.Verifications, 2);

    // Written to after signing: the same path, another identity.
    Check.Files["a.exe"].Signature.Status = TSignatureStatus::Tampered;
    Check.Files["a.exe"].Identity.LastWrite = 1;
    EXPECT_EQ(Verdicts.Verdict("a.exe").Status, TSignatureStatus::Tampered);
    EXPECT_EQ(Check.Verifications, 3);
    // The same content under another name (a copy in place, a link) is the same file.
    Check.Files["copy.exe"] = Check.Files["b.exe"];
    EXPECT_EQ(Verdicts.Verdict("copy.exe").Status, TSignatureStatus::Unsigned);
    EXPECT_EQ(Check.Verifications, 3);
    EXPECT_EQ(Verdicts.Size(), 3u);
}

TEST(SignatureVerdictsTest, KeepsNoFailedCheckAndNothingOfAFileWithoutIdentity) {
    FakeSignatureCheck Check;
    Check.Add("locked.exe", TSignatureStatus::Trusted);
    Check.Files["locked.exe"].Identifiable = false;
    TSignatureVerdicts Verdicts(Check);

    EXPECT_EQ(Verdicts.Verdict("missing.exe").Status, TSignatureStatus::Error);
    EXPECT_EQ(Verdicts.Verdict("missing.exe").Status, TSignatureStatus::Error);
    EXPECT_EQ(Verdicts.Verdict("locked.exe").Status, TSignatureStatus::Trusted);
    EXPECT_EQ(Verdicts.Verdict("locked.exe").Status, TSignatureStatus::Trusted);
    EXPECT_EQ(Check.Verifications, 4);
    EXPECT_EQ(Verdicts.Size(), 0u);

    Check.Enabled = false;
    EXPECT_EQ(Verdicts.Verdict("locked.exe").Status, TSignatureStatus::NotChecked);
    EXPECT_EQ(Check.Verifications, 4);
}

// A worker whose Ready is counted and can be waited for.
class SignatureWorkerTest : public ::testing::Test {
protected:
    void WaitUntilIdle() {
        for (int Round = 0; Round < 2000 && Worker.Busy(); ++Round)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_FALSE(Worker.Busy());
    }

    FakeSignatureCheck Check;
    TSignatureVerdicts Verdicts{Check};
    std::atomic<int> ReadyCalls{0};
    TSignatureWorker Worker{Verdicts, [this] { ++ReadyCalls; }};
};

TEST_F(SignatureWorkerTest, HandsBackTheVerdictsOfTheLatestStartInTheirOrder) {
    Check.Add("a.exe", TSignatureStatus::Trusted);
    Check.Add("b.exe", TSignatureStatus::Tampered);
    EXPECT_TRUE(Worker.TakeVerdicts().empty());
    Worker.Start({"a.exe", "b.exe", "missing.exe"});
    WaitUntilIdle();
    const TFileVerdicts Arrived = Worker.TakeVerdicts();
    ASSERT_EQ(Arrived.size(), 3u);
    EXPECT_EQ(Arrived[0].first, "a.exe");
    EXPECT_EQ(Arrived[0].second.Status, TSignatureStatus::Trusted);
    EXPECT_EQ(Arrived[1].second.Status, TSignatureStatus::Tampered);
    EXPECT_EQ(Arrived[2].second.Status, TSignatureStatus::Error);
    EXPECT_GE(ReadyCalls, 1);
    EXPECT_TRUE(Worker.TakeVerdicts().empty()) << "taken once";

    // A second start: the kept verdicts arrive without a new verification.
    const int Before = ReadyCalls;
    Worker.Start({"b.exe"});
    WaitUntilIdle();
    ASSERT_EQ(Worker.TakeVerdicts().size(), 1u);
    EXPECT_EQ(ReadyCalls, Before + 1);
    EXPECT_EQ(Check.Verifications, 3);
}

// Holds the worker in the verification of "slow.exe" until Release.
struct TBlockingCheck : FakeSignatureCheck {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Entered = false, Released = false;
    TSignature Verify(const std::string& Path, TFileKey& Identity, bool& Identified) override {
        if (Path == "slow.exe") {
            std::unique_lock Lock(Mutex);
            Entered = true;
            Changed.notify_all();
            Changed.wait(Lock, [this] { return Released; });
        }
        return FakeSignatureCheck::Verify(Path, Identity, Identified);
    }
    void WaitUntilEntered() {
        std::unique_lock Lock(Mutex);
        Changed.wait(Lock, [this] { return Entered; });
    }
    void Release() {
        const std::lock_guard Lock(Mutex);
        Released = true;
        Changed.notify_all();
    }
};

TEST(SignatureWorkerStartTest, ANewStartDropsTheFilesAndVerdictsOfTheOneBefore) {
    TBlockingCheck Check;
    Check.Add("slow.exe", TSignatureStatus::Trusted);
    Check.Add("old.exe", TSignatureStatus::Trusted);
    Check.Add("new.exe", TSignatureStatus::Unsigned);
    TSignatureVerdicts Verdicts(Check);
    TSignatureWorker Worker(Verdicts, nullptr);

    Worker.Start({"slow.exe", "old.exe"});
    Check.WaitUntilEntered();
    EXPECT_TRUE(Worker.Busy());
    Worker.Start({"new.exe"});
    Check.Release();
    for (int Round = 0; Round < 2000 && Worker.Busy(); ++Round)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const TFileVerdicts Arrived = Worker.TakeVerdicts();
    ASSERT_EQ(Arrived.size(), 1u);
    EXPECT_EQ(Arrived[0].first, "new.exe");
    EXPECT_EQ(Check.Verifications, 2) << "old.exe was dropped before its turn";
    EXPECT_EQ(Verdicts.Size(), 2u) << "the verdict on slow.exe is kept all the same";
}

TEST(SignatureWorkerStartTest, EndingFinishesTheFileInProgressAndDropsTheRest) {
    TBlockingCheck Check;
    Check.Add("slow.exe", TSignatureStatus::Trusted);
    for (int I = 0; I < 20; ++I)
        Check.Add("file" + std::to_string(I) + ".exe", TSignatureStatus::Unsigned);
    TSignatureVerdicts Verdicts(Check);
    std::vector<std::string> Paths{"slow.exe"};
    for (int I = 0; I < 20; ++I)
        Paths.push_back("file" + std::to_string(I) + ".exe");
    auto Worker = std::make_unique<TSignatureWorker>(Verdicts, nullptr);
    Worker->Start(Paths);
    Check.WaitUntilEntered();
    std::thread Releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the worker is being ended by then
        Check.Release();
    });
    Worker.reset();
    Releaser.join();
    EXPECT_EQ(Check.Verifications, 1);
}

}  // namespace
}  // namespace quorvane
