#include "platform/IpAddress.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace trawlmeter {
namespace {

std::optional<std::string> canonical(const char* text) {
    const auto address = IpAddress::parse(text);
    return address ? std::optional(address->toString()) : std::nullopt;
}

TEST(IpAddress, ParsesWholeAddressesOfEitherFamilyAndNothingElse) {
    EXPECT_EQ(canonical("66.249.66.1"), "66.249.66.1");
    EXPECT_EQ(canonical("0.0.0.0"), "0.0.0.0");
    EXPECT_EQ(canonical("255.255.255.255"), "255.255.255.255");
    EXPECT_EQ(canonical("2001:DB8:0:0:0:0:0:1"), "2001:db8::1");
    EXPECT_EQ(canonical("::ffff:66.249.66.1"), "::ffff:66.249.66.1");
    EXPECT_EQ(IpAddress::parse("::1")->family, IpAddress::Family::V6);
    EXPECT_EQ(IpAddress::parse("1.2.3.4")->family, IpAddress::Family::V4);
    // What a damaged or forged c-ip field may hold.
    for (const char* text :
         {"", "-", "1.2.3", "01.2.3.4", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1.2.3.4.5",
          "0x1.2.3.4", "fe80::1%eth0", "[::1]", "2001:db8::1/64", "1::2::3", "1:2:3:4:5:6:7:8:9",
          "localhost", "1111:2222:3333:4444:5555:6666:7777:8888:9999:aaaa:bbbb:cccc:dddd"}) {
        EXPECT_FALSE(IpAddress::parse(text)) << text;
    }
}

TEST(IpAddress, ReverseNamesAreThoseOfThePtrZones) {
    EXPECT_EQ(IpAddress::parse("66.249.66.1")->reverseName(), "1.66.249.66.in-addr.arpa");
    EXPECT_EQ(IpAddress::parse("4321:0:1:2:3:4:567:89ab")->reverseName(),
              "b.a.9.8.7.6.5.0.4.0.0.0.3.0.0.0.2.0.0.0.1.0.0.0.0.0.0.0.1.2.3.4.ip6.arpa");
}

TEST(IpAddress, AMappedIpv4AddressIsThatIpv4Address) {
    EXPECT_EQ(IpAddress::parse("::ffff:66.249.66.1")->unmapped(), IpAddress::parse("66.249.66.1"));
    for (const char* other : {"::1", "::66.249.66.1", "::fffe:66.249.66.1", "66.249.66.1"}) {
        EXPECT_EQ(IpAddress::parse(other)->unmapped(), IpAddress::parse(other)) << other;
    }
}

} // namespace
} // namespace trawlmeter
