#include "verify/IpPrefix.h"

#include <gtest/gtest.h>

namespace trawlmeter::verify {
namespace {

bool inPrefix(const char* prefix, const char* address) {
    return IpPrefix::parse(prefix)->contains(*IpAddress::parse(address));
}

TEST(IpPrefix, HoldsExactlyTheAddressesOfItsLength) {
    EXPECT_FALSE(inPrefix("66.249.64.32/27", "66.249.64.31"));
    EXPECT_TRUE(inPrefix("66.249.64.32/27", "66.249.64.32"));
    EXPECT_TRUE(inPrefix("66.249.64.32/27", "66.249.64.63"));
    EXPECT_FALSE(inPrefix("66.249.64.32/27", "66.249.64.64"));
    EXPECT_TRUE(inPrefix("40.77.188.0/22", "40.77.191.255"));
    EXPECT_FALSE(inPrefix("40.77.188.0/22", "40.77.192.0"));
    EXPECT_TRUE(inPrefix("157.55.39.7/32", "157.55.39.7"));
    EXPECT_FALSE(inPrefix("157.55.39.7/32", "157.55.39.6"));
    EXPECT_TRUE(inPrefix("0.0.0.0/0", "203.0.113.9"));
    // Bits past the length do not count.
    EXPECT_TRUE(inPrefix("66.249.64.45/27", "66.249.64.32"));

    EXPECT_TRUE(inPrefix("2001:4860:4801:10::/64", "2001:4860:4801:10:ffff:ffff:ffff:ffff"));
    EXPECT_FALSE(inPrefix("2001:4860:4801:10::/64", "2001:4860:4801:11::"));
    EXPECT_FALSE(inPrefix("2001:4860:4801:10::/64", "2001:4860:4801:f:ffff:ffff:ffff:ffff"));
    EXPECT_TRUE(inPrefix("2001:db8::1/128", "2001:db8::1"));
    EXPECT_FALSE(inPrefix("2001:db8::1/128", "2001:db8::"));
}

TEST(IpPrefix, AnAddressOfTheOtherFamilyIsOutsideUnlessItIsAMappedIpv4One) {
    EXPECT_FALSE(inPrefix("0.0.0.0/0", "::1"));
    EXPECT_FALSE(inPrefix("::/0", "66.249.64.1"));
    EXPECT_TRUE(inPrefix("66.249.64.0/27", "::ffff:66.249.64.1"));
    EXPECT_FALSE(inPrefix("66.249.64.0/27", "::ffff:66.249.65.1"));
}

TEST(IpPrefix, RefusesWhatIsNoPrefix) {
    for (const char* text :
         {"66.249.64.0", "66.249.64.0/", "66.249.64.0/33", "66.249.64.0/-1", "66.249.64.0/+8",
          "66.249.64.0/08", "66.249.64.0/ 8", "66.249.64.0/8 ", "66.249.64/24", "/24",
          "2001:db8::/129", "2001:db8::/0064", "2001:db8::/64/64", "66.249.64.0/24x"}) {
        EXPECT_FALSE(IpPrefix::parse(text)) << text;
    }
    EXPECT_EQ(IpPrefix::parse("2001:db8::/0")->length, 0);
    EXPECT_EQ(IpPrefix::parse("66.249.64.0/0")->length, 0);
}

} // namespace
} // namespace trawlmeter::verify
