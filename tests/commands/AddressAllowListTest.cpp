// The command port's allow-list: what it parses, whom it serves, which entries it
// refuses (and how it names them), and how often a refused sender is reported.
#include "AddressAllowList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t Address(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a << 24 | b << 16 | c << 8 | d; }

TEST(AddressAllowList, ParsesEntriesAndServesLoopbackAndTheListedSenders) {
    struct TCase {
        const char* Text;
        const char* Normalised;
        std::vector<uint32_t> Served;
        std::vector<uint32_t> Refused;
    };
    const TCase cases[] = {
        {"", "", {TAddressAllowList::Loopback}, {Address(192, 0, 2, 20), Address(127, 0, 0, 2)}},
        {" 192.168.1.20 ,10.0.5.0/24", "192.168.1.20, 10.0.5.0/24",
         {Address(192, 168, 1, 20), Address(10, 0, 5, 0), Address(10, 0, 5, 255), TAddressAllowList::Loopback},
         {Address(192, 168, 1, 21), Address(192, 168, 1, 19), Address(10, 0, 4, 255), Address(10, 0, 6, 0)}},
        // Host bits of a range are dropped: the range is what it covers.
        {"192.0.2.77/28", "192.0.2.64/28", {Address(192, 0, 2, 64), Address(192, 0, 2, 79)},
         {Address(192, 0, 2, 63), Address(192, 0, 2, 80)}},
        {"192.0.2.20/32", "192.0.2.20", {Address(192, 0, 2, 20)}, {Address(192, 0, 2, 21)}},
        {"0.0.0.0/0", "0.0.0.0/0", {Address(192, 0, 2, 20), Address(255, 255, 255, 255), 0}, {}},
        {"255.255.255.255", "255.255.255.255", {Address(255, 255, 255, 255)}, {Address(255, 255, 255, 254)}},
    };
    for (const TCase& c : cases) {
        const TAddressAllowList list = TAddressAllowList::Parse(c.Text);
        EXPECT_EQ(c.Normalised, list.Text()) << c.Text;
        EXPECT_EQ(std::string(c.Normalised).empty(), list.Empty()) << c.Text;
        for (uint32_t served : c.Served) EXPECT_TRUE(list.Allows(served)) << c.Text << " " << AddressText(served);
        for (uint32_t refused : c.Refused) EXPECT_FALSE(list.Allows(refused)) << c.Text << " " << AddressText(refused);
    }
}

TEST(AddressAllowList, RefusesAMalformedEntryNamingIt) {
    struct TCase {
        const char* Text;
        const char* Entry;
    };
    const TCase cases[] = {
        {"300.1.1.1", "300.1.1.1"},
        {"10.0.0.0/33", "10.0.0.0/33"},
        {"192.0.2.20, studio-pc", "studio-pc"},
        {"10.0.0.1/", "10.0.0.1/"},
        {"10.0.0", "10.0.0"},
        {"10.0.0.1.2", "10.0.0.1.2"},
        {"10..0.1", "10..0.1"},
        {"010.0.0.1", "010.0.0.1"},
        {"10.0.0.0/08", "10.0.0.0/08"},
        {"1.2.3.4,,5.6.7.8", ""},
        {"::1", "::1"},
        {"1.2.3.4 5", "1.2.3.4 5"},
    };
    for (const TCase& c : cases) {
        try {
            TAddressAllowList::Parse(c.Text);
            ADD_FAILURE() << c.Text << " was taken";
        } catch (const EAddressAllowListError& error) {
            EXPECT_EQ(std::string("CommandPortAllow entry \"") + c.Entry +
                          "\" is not an IPv4 address (192.168.1.20) or range (10.0.5.0/24)",
                      error.what());
        }
    }
}

TEST(RefusalTally, ReportsEachAddressAtMostOnceAnHourWithItsCount) {
    using namespace std::chrono;
    TRefusalTally tally;
    const TRefusalTally::TClock::time_point start{};
    const uint32_t scanner = Address(192, 0, 2, 99);
    const uint32_t other = Address(192, 0, 2, 98);

    const auto first = tally.Refused(scanner, start);
    ASSERT_TRUE(first);
    EXPECT_EQ(1u, first->Count);
    EXPECT_TRUE(first->First);
    for (int k = 1; k <= 5; ++k) EXPECT_FALSE(tally.Refused(scanner, start + minutes(10 * k)));
    const auto other1 = tally.Refused(other, start + minutes(1));
    ASSERT_TRUE(other1);
    EXPECT_FALSE(other1->First);
    EXPECT_FALSE(tally.Refused(scanner, start + minutes(59)));
    const auto hourly = tally.Refused(scanner, start + hours(1));
    ASSERT_TRUE(hourly);
    EXPECT_EQ(scanner, hourly->Address);
    EXPECT_EQ(7u, hourly->Count);
    EXPECT_FALSE(hourly->First);
    EXPECT_FALSE(tally.Refused(scanner, start + hours(1) + minutes(59)));
}

TEST(RefusalTally, ForgetsTheAddressReportedLongestAgoWhenFull) {
    using namespace std::chrono;
    TRefusalTally tally;
    const TRefusalTally::TClock::time_point start{};
    for (uint32_t k = 0; k < TRefusalTally::MaxAddresses; ++k)
        ASSERT_TRUE(tally.Refused(Address(10, 0, 0, 0) + k, start + seconds(k)));
    EXPECT_FALSE(tally.Refused(Address(10, 0, 0, 0), start + seconds(2000)));
    EXPECT_TRUE(tally.Refused(Address(10, 1, 0, 0), start + seconds(2001)));
    // The first one made room, and counts again from one; the second is still remembered.
    EXPECT_FALSE(tally.Refused(Address(10, 0, 0, 1), start + seconds(2002)));
    const auto again = tally.Refused(Address(10, 0, 0, 0), start + seconds(2003));
    ASSERT_TRUE(again);
    EXPECT_EQ(1u, again->Count);
}

}  // namespace
