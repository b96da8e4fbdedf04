// The shared records and helpers of the HTTP transfers: status codes, request targets,
// credentials, and the cancel handle.
#include "Kel/KelHTTPTypes.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

TEST(ResponseCodeOf, SecondWordAsNumber) {
  EXPECT_EQ(ResponseCodeOf("HTTP/1.1 404 Not Found"), 404);
  EXPECT_EQ(ResponseCodeOf("HTTP/1.1  200"), 200);
  EXPECT_EQ(ResponseCodeOf(""), -1);
  EXPECT_EQ(ResponseCodeOf("Connection refused"), -1);
  EXPECT_EQ(ResponseCodeOf("Error 42 happened"), 42);
  EXPECT_EQ(ResponseCodeOf("HTTP/1.1 2x0 OK"), -1);
}

struct NoProxyCase {
  const char* host;
  const char* port;
  const char* noProxy;
  const char* proxy;
  bool direct;
};

void PrintTo(const NoProxyCase& c, std::ostream* os) {
  *os << c.host << ":" << c.port << " no_proxy=\"" << c.noProxy << "\" proxy=" << c.proxy;
}

class NoProxyTest : public ::testing::TestWithParam<NoProxyCase> {};

TEST_P(NoProxyTest, DirectOrThroughTheProxy) {
  const NoProxyCase& c = GetParam();
  EXPECT_EQ(BypassesProxy(c.host, c.port, c.noProxy, c.proxy), c.direct);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, NoProxyTest,
    ::testing::Values(
        NoProxyCase{"www.example.org", "80", "", "proxy", false},
        // A name matches itself and every name below it, written with or without a leading dot.
        NoProxyCase{"example.org", "80", "example.org", "proxy", true},
        NoProxyCase{"www.Example.ORG", "80", "example.org", "proxy", true},
        NoProxyCase{"www.example.org", "80", ".example.org", "proxy", true},
        NoProxyCase{"example.org", "80", ".example.org", "proxy", true},
        NoProxyCase{"www.example.org", "80", "*.example.org", "proxy", true},
        NoProxyCase{"badexample.org", "80", "example.org", "proxy", false},
        NoProxyCase{"example.org.evil", "80", "example.org", "proxy", false},
        NoProxyCase{"www.example.org.", "80", "example.org", "proxy", true},
        // Lists: commas, blanks, both; empty entries are nothing.
        NoProxyCase{"b.intra", "80", "a.example, b.intra", "proxy", true},
        NoProxyCase{"b.intra", "80", "a.example b.intra", "proxy", true},
        NoProxyCase{"c.intra", "80", ",, a.example ,b.intra,", "proxy", false},
        NoProxyCase{"anything", "443", "*", "proxy", true},
        NoProxyCase{"anything", "443", "x.org, *", "proxy", true},
        // Ports.
        NoProxyCase{"intra", "8080", "intra:8080", "proxy", true},
        NoProxyCase{"intra", "80", "intra:8080", "proxy", false},
        NoProxyCase{"10.1.2.3", "443", "10.1.2.3:443", "proxy", true},
        // IP addresses and blocks, IPv4 and IPv6; a name never matches an address.
        NoProxyCase{"10.1.2.3", "80", "10.1.2.3", "proxy", true},
        NoProxyCase{"10.1.2.3", "80", "10.0.0.0/8", "proxy", true},
        NoProxyCase{"11.1.2.3", "80", "10.0.0.0/8", "proxy", false},
        NoProxyCase{"192.168.5.9", "80", "192.168.4.0/23", "proxy", true},
        NoProxyCase{"192.168.6.9", "80", "192.168.4.0/23", "proxy", false},
        NoProxyCase{"[2001:db8::7]", "80", "2001:db8::/32", "proxy", true},
        NoProxyCase{"[2001:db9::7]", "80", "2001:db8::/32", "proxy", false},
        NoProxyCase{"[2001:db8::7]", "8080", "[2001:db8::7]:8080", "proxy", true},
        NoProxyCase{"[2001:db8::7]", "80", "[2001:db8::7]:8080", "proxy", false},
        NoProxyCase{"[2001:db8::7]", "80", "2001:db8:0::7", "proxy", true},
        NoProxyCase{"10.1.2.3", "80", "host.intra", "proxy", false},
        NoProxyCase{"10.1.2.3", "80", "10.1.2.0/99", "proxy", false},
        // Loopback goes direct unless the proxy itself is on loopback.
        NoProxyCase{"127.0.0.1", "80", "", "proxy", true},
        NoProxyCase{"127.8.9.1", "80", "", "proxy", true},
        NoProxyCase{"[::1]", "80", "", "proxy", true},
        NoProxyCase{"localhost", "80", "", "proxy", true},
        NoProxyCase{"LocalHost", "80", "", "proxy", true},
        NoProxyCase{"a.localhost", "80", "", "proxy", true},
        NoProxyCase{"127.0.0.1", "80", "", "127.0.0.1", false},
        NoProxyCase{"localhost", "80", "", "[::1]", false},
        NoProxyCase{"127.0.0.1", "80", "127.0.0.1", "127.0.0.1", true},
        NoProxyCase{"127.0.0.1", "8080", "127.0.0.1:8081", "localhost", false}));

TEST(EncodeRequestTarget, EscapesOnlyWhatMayNotStandInATarget) {
  EXPECT_EQ(EncodeRequestTarget("/a b\"<>\\^`{|}.html"), "/a%20b%22%3C%3E%5C%5E%60%7B%7C%7D.html");
  EXPECT_EQ(EncodeRequestTarget("/\x01\x7f\xe9"), "/%01%7F%E9");
  EXPECT_EQ(EncodeRequestTarget("/ok/%41?x=1&y=~;@:+,$!*'()[]#"), "/ok/%41?x=1&y=~;@:+,$!*'()[]#");
}

TEST(BasicCredentials, EncodesUserColonPassword) {
  EXPECT_EQ(BasicCredentials("", ""), "Basic Og==");
  EXPECT_EQ(BasicCredentials("Aladdin", "open sesame"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  EXPECT_EQ(BasicCredentials("ab", ""), "Basic YWI6");
  EXPECT_EQ(BasicCredentials("a", "b"), "Basic YTpi");
}

TEST(TTransferCancel, OnceCancelledEveryTransferIsRefused) {
  TTransferCancel cancel;
  int multi = 0;  // stands for a running transfer's multi handle; never woken here
  EXPECT_FALSE(cancel.Cancelled());
  EXPECT_TRUE(cancel.Attach(&multi));
  cancel.Detach();
  cancel.Cancel();
  EXPECT_TRUE(cancel.Cancelled());
  EXPECT_FALSE(cancel.Attach(&multi));
  cancel.Cancel();  // again: no harm
  EXPECT_TRUE(cancel.Cancelled());
}

}  // namespace
