// One copy per machine: the claim, and the show request reaching the window the
// first copy published.
#include "Form.h"
#include "Instance.h"
#include "Testing.h"

#include "Win.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string UniqueName() { return "SondelInstanceTest" + std::to_string(GetCurrentProcessId()); }

class TRequestCounter : public TForm {
public:
    using TForm::TForm;
    int Requests = 0;
    void WndProc(TMessage& message) override {
        if (message.Msg == TSingleInstance::ShowRequestMessage()) ++Requests;
        TForm::WndProc(message);
    }
};

TEST(SingleInstance, OnlyTheFirstClaimIsFirst) {
    TSingleInstance first(UniqueName());
    TSingleInstance second(UniqueName());
    EXPECT_TRUE(first.First());
    EXPECT_FALSE(second.First());
}

TEST(SingleInstance, TheClaimEndsWithItsHolder) {
    { TSingleInstance first(UniqueName()); }
    TSingleInstance again(UniqueName());
    EXPECT_TRUE(again.First());
}

TEST(SingleInstance, ShowRequestReachesOnlyThePublishedWindow) {
    TRequestCounter published(nullptr);
    TRequestCounter other(nullptr);
    TSingleInstance first(UniqueName());
    TSingleInstance second(UniqueName());
    EXPECT_FALSE(second.AskRunningToShow());
    first.PublishWindow(published.Handle());
    other.Handle();
    EXPECT_TRUE(second.AskRunningToShow());
    EXPECT_TRUE(Testing::PumpUntil([&] { return published.Requests == 1; }));
    EXPECT_EQ(0, other.Requests);
}

}  // namespace
