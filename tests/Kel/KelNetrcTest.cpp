#include "Kel/KelNetrc.h"

#include <gtest/gtest.h>

namespace {

TEST(Netrc, FindsTheHostsLoginElseTheDefault) {
  const char* const text =
      "# staging\n"
      "machine other.example login bob password b0b\n"
      "machine Staging.Example\n  login ann\n  password \"s3 cret\"\n"
      "macdef init\ncd /\nmachine staging.example login mallory password no\n\n"
      "default login anon password guest\n";
  const struct {
    const char* Host;
    const char* Login;
    const char* Password;
  } cases[] = {
      {"staging.example", "ann", "s3 cret"},
      {"STAGING.example", "ann", "s3 cret"},
      {"other.example", "bob", "b0b"},
      {"elsewhere.example", "anon", "guest"},
  };
  for (const auto& c : cases) {
    const auto login = NetrcLogin(text, c.Host);
    ASSERT_TRUE(login) << c.Host;
    EXPECT_EQ(login->Login, c.Login) << c.Host;
    EXPECT_EQ(login->Password, c.Password) << c.Host;
  }
  EXPECT_FALSE(NetrcLogin("machine a login x password y\n", "b"));
  EXPECT_FALSE(NetrcLogin("", "b"));
  EXPECT_FALSE(NetrcLogin("machine", "machine"));  // cut short: no crash
}

}  // namespace
