// The shared records and helpers of the HTTP transfers: status codes, request targets,
// credentials, and the cancel handle.
#include "Kel/KelHTTPTypes.h"

#include <gtest/gtest.h>

namespace {

TEST(ResponseCodeOf, SecondWordAsNumber) {
  EXPECT_EQ(ResponseCodeOf("HTTP/1.1 404 Not Found"), 404);
  EXPECT_EQ(ResponseCodeOf("HTTP/1.1  200"), 200);
  EXPECT_EQ(ResponseCodeOf(""), -1);
  EXPECT_EQ(ResponseCodeOf("Connection refused"), -1);
  EXPECT_EQ(ResponseCodeOf("Error 42 happened"), 42);
  EXPECT_EQ(ResponseCodeOf("HTTP/1.1 2x0 OK"), -1);
}

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
