// One copy per machine: the claim in both namespaces, a claim held in another session
// or by another user, the marked window found (also once a starting copy marks it), and
// the show request reaching only that window.
#include "Form.h"
#include "Instance.h"
#include "Testing.h"

#include "Win.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

std::string UniqueName() { return "SondelInstanceTest" + std::to_string(GetCurrentProcessId()); }

// A machine-wide claim made outside this session's namespace, as a copy of another
// logged-on user holds it; Security (when given) decides who may open it.
class TOtherSessionClaim {
public:
    explicit TOtherSessionClaim(SECURITY_ATTRIBUTES* security = nullptr)
        : mutex_(CreateMutexA(security, FALSE, ("Global\\" + UniqueName()).c_str())) {}
    ~TOtherSessionClaim() {
        if (mutex_) CloseHandle(mutex_);
    }
    TOtherSessionClaim(const TOtherSessionClaim&) = delete;
    TOtherSessionClaim& operator=(const TOtherSessionClaim&) = delete;
    bool Made() const { return mutex_ != nullptr; }

private:
    HANDLE mutex_;
};

class TRequestCounter : public TForm {
public:
    using TForm::TForm;
    int Requests = 0;
    void WndProc(TMessage& message) override {
        if (message.Msg == TSingleInstance::ShowRequestMessage()) ++Requests;
        TForm::WndProc(message);
    }
};

TEST(SingleInstance, OnlyTheFirstClaimIsFirstAndTheHolderIsSeenInThisSession) {
    TSingleInstance first(UniqueName());
    TSingleInstance second(UniqueName());
    EXPECT_TRUE(first.First());
    EXPECT_FALSE(second.First());
    EXPECT_TRUE(second.HeldInThisSession());
}

TEST(SingleInstance, TheClaimEndsWithItsHolder) {
    { TSingleInstance first(UniqueName()); }
    TSingleInstance again(UniqueName());
    EXPECT_TRUE(again.First());
    EXPECT_FALSE(again.HeldInThisSession());
}

TEST(SingleInstance, AClaimHeldInAnotherSessionIsHeldAndHasNoWindowHere) {
    TOtherSessionClaim other;
    ASSERT_TRUE(other.Made());
    TRequestCounter unmarked(nullptr);
    unmarked.Handle();
    TSingleInstance second(UniqueName());
    EXPECT_FALSE(second.First());
    EXPECT_FALSE(second.HeldInThisSession());
    EXPECT_EQ(nullptr, second.FindRunningWindow());
    EXPECT_FALSE(second.AskRunningToShow());
}

TEST(SingleInstance, AClaimThatRefusesThisUserIsHeld) {
    // No access for anyone: what a mutex of another user is to this one.
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ACL empty;
    ASSERT_TRUE(InitializeAcl(&empty, sizeof empty, ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &empty, FALSE));
    SECURITY_ATTRIBUTES security{sizeof security, &descriptor, FALSE};
    TOtherSessionClaim other(&security);
    ASSERT_TRUE(other.Made());
    TSingleInstance second(UniqueName());
    EXPECT_FALSE(second.First());
}

TEST(SingleInstance, OnlyThePublishedWindowIsFoundAndAsked) {
    TRequestCounter published(nullptr);
    TRequestCounter other(nullptr);
    TSingleInstance first(UniqueName());
    TSingleInstance second(UniqueName());
    other.Handle();
    EXPECT_EQ(nullptr, second.FindRunningWindow(0));
    EXPECT_FALSE(second.AskRunningToShow(0));
    first.PublishWindow(published.Handle());
    EXPECT_EQ(published.Handle(), second.FindRunningWindow(0));
    EXPECT_TRUE(second.AskRunningToShow(0));
    EXPECT_TRUE(Testing::PumpUntil([&] { return published.Requests == 1; }));
    EXPECT_EQ(0, other.Requests);
}

TEST(SingleInstance, AWindowPublishedWhileTheSecondStartLooksIsFound) {
    TRequestCounter published(nullptr);
    const HWND window = published.Handle();
    TSingleInstance first(UniqueName());
    TSingleInstance second(UniqueName());
    std::thread starting([&] {
        Sleep(300);
        first.PublishWindow(window);
    });
    const HWND found = second.FindRunningWindow();
    starting.join();
    EXPECT_EQ(window, found);
}

TEST(SingleInstance, TheMarkEndsWithTheClaim) {
    TRequestCounter published(nullptr);
    {
        TSingleInstance first(UniqueName());
        first.PublishWindow(published.Handle());
    }
    TSingleInstance later(UniqueName());
    EXPECT_EQ(nullptr, later.FindRunningWindow(0));
}

}  // namespace
