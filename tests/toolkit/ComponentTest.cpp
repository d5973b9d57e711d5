// Ownership, removal notifications, loading state and assignment.
#include "Classes.h"
#include "Graphics.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::string>* g_log = nullptr;

class TLogged : public TComponent {
public:
    TLogged(TComponent* owner, std::string name) : TComponent(owner), name_(std::move(name)) {}
    ~TLogged() override {
        if (g_log) g_log->push_back("free " + name_);
    }
    TComponent* Referred = nullptr;
    int LoadedCalls = 0;

protected:
    void Notification(TComponent* component, TOperation operation) override {
        if (operation == TOperation::opRemove && component == Referred) Referred = nullptr;
    }
    void Loaded() override {
        TComponent::Loaded();
        ++LoadedCalls;
    }

private:
    std::string name_;
};

}  // namespace

TEST(Component, OwnerFreesWhatItOwnsLastFirst) {
    std::vector<std::string> log;
    g_log = &log;
    auto* owner = new TLogged(nullptr, "owner");
    new TLogged(owner, "a");
    auto* b = new TLogged(owner, "b");
    new TLogged(b, "b1");
    EXPECT_EQ(owner->ComponentCount(), 2);
    delete owner;
    g_log = nullptr;
    EXPECT_EQ(log, (std::vector<std::string>{"free owner", "free b", "free b1", "free a"}));
}

TEST(Component, DestroyedComponentLeavesItsOwner) {
    TLogged owner(nullptr, "owner");
    auto* a = new TLogged(&owner, "a");
    delete a;
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Component, FreeNotificationClearsReference) {
    TLogged holder(nullptr, "holder");
    auto* menu = new TLogged(nullptr, "menu");
    holder.Referred = menu;
    holder.FreeNotification(menu);
    delete menu;
    EXPECT_EQ(holder.Referred, nullptr);
}

TEST(Component, FreeNotificationIsDroppedWhenTheListenerGoesFirst) {
    auto* listener = new TLogged(nullptr, "listener");
    TLogged target(nullptr, "target");
    listener->FreeNotification(&target);
    delete listener;  // target must not notify a freed listener later
    SUCCEED();
}

TEST(Component, LoadingIsSetForOwnedAndEndedByLoaded) {
    TLogged form(nullptr, "form");
    auto* child = new TLogged(&form, "child");
    form.BeginLoading();
    auto* late = new TLogged(&form, "late");
    EXPECT_TRUE(child->Loading());
    EXPECT_TRUE(late->Loading());
    form.EndLoading();
    EXPECT_FALSE(form.Loading());
    EXPECT_FALSE(child->Loading());
    EXPECT_EQ(child->LoadedCalls, 1);
    EXPECT_EQ(late->LoadedCalls, 1);
    EXPECT_EQ(form.LoadedCalls, 1);
    EXPECT_FALSE(form.Designing());
}

TEST(Persistent, AssignBetweenUnrelatedClassesRaises) {
    TFont font;
    TPen pen;
    try {
        font.Assign(pen);
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "Cannot assign a TPen to a TFont");
    }
}

TEST(Font, SizeAndChangeNotification) {
    TFont font;
    int changes = 0;
    font.OnChange = [&](TObject*) { ++changes; };
    font.SetSize(8);
    EXPECT_EQ(font.Height(), -11);
    EXPECT_EQ(changes, 0);
    font.SetSize(12);
    EXPECT_EQ(font.Height(), -16);
    EXPECT_EQ(font.Size(), 12);
    font.SetStyle({TFontStyle::fsBold});
    EXPECT_EQ(changes, 2);
    TFont copy;
    copy.Assign(font);
    EXPECT_TRUE(copy == font);
}
