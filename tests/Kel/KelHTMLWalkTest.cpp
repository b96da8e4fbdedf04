#include "Kel/KelHTMLWalk.h"

#include <gtest/gtest.h>

#include "Kel/KelError.h"

namespace {

// Writes every event with the fields it sets, so a table can state the whole walk.
class Recorder : public THTMLWalk {
 public:
  std::string log;
  using THTMLWalk::Step;

 protected:
  void DoTagName() override { log += "name(" + TagName + ")"; }
  void DoBeginTag() override { log += "<@" + std::to_string(TagPos); }
  void DoEndTag() override { log += ">@" + std::to_string(Position()) + " "; }
  void DoBeginText() override { log += "T@" + std::to_string(Position()); }
  void DoText() override { log += "[" + Text + "]@" + std::to_string(Position()) + " "; }
  void DoBeginAttribute() override { log += " {"; }
  void DoAttributeName() override { log += AttrName + (AttrValue.empty() ? "" : "!"); }
  void DoAttributeValue() override { log += "=" + AttrValue; }
  void DoEndAttribute() override { log += "}"; }
};

std::string WalkLog(std::string_view html) {
  Recorder r;
  r.Walk(html);
  return r.log;
}

struct WalkCase {
  const char* html;
  const char* events;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << '"' << c.html << '"'; }

class WalkTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(WalkTest, Events) { EXPECT_EQ(WalkLog(GetParam().html), GetParam().events) << GetParam().html; }

INSTANTIATE_TEST_SUITE_P(
    Documents, WalkTest,
    ::testing::Values(WalkCase{"", ""}, WalkCase{"<p>", "<@1name(p)>@4 "}, WalkCase{"<br/>", "<@1name(br/)>@6 "},
                      WalkCase{"<br />", "<@1name(br) {/}>@7 "}, WalkCase{"</TITLE>", "<@1name(/TITLE)>@9 "},
                      WalkCase{"<!-- a > b -->x", "T@15[x]@16 "}, WalkCase{"<!-->x", "T@6[x]@7 "},
                      WalkCase{"<!-- open", ""}, WalkCase{"<!--->x", "T@7[x]@8 "}, WalkCase{"<!-x", "<@1name(!-x)>@5 "},
                      WalkCase{"<!DOCTYPE html>", "<@1name(!DOCTYPE) {html}>@16 "}, WalkCase{"a < b", "T@1[a < b]@6 "},
                      WalkCase{"a<b", "T@1[a]@2 <@2name(b)>@4 "},
                      WalkCase{"<a href=\"x>y\" title='z'>", "<@1name(a) {href=x>y} {title=z}>@25 "},
                      WalkCase{"<a href=\"x\"title=\"y\">", "<@1name(a) {href=x} {title=y}>@22 "},
                      WalkCase{"<a href = x>", "<@1name(a) {href=x}>@13 "},
                      WalkCase{"<a href=>", "<@1name(a) {href=}>@10 "},
                      WalkCase{"<input disabled>", "<@1name(input) {disabled}>@17 "},
                      WalkCase{"<a =\"x\">", "<@1name(a) {=x}>@9 "}, WalkCase{"<a b=c\"d>", "<@1name(a) {b=c\"d}>@10 "},
                      WalkCase{"<a\thref\r=\nx>", "<@1name(a) {href=x}>@13 "},
                      WalkCase{"<a\xA0href=x>", "<@1name(a\xA0href=x)>@11 "},
                      WalkCase{"<a\x01href=x\x7F>", "<@1name(a) {href=x\x7F}>@12 "},
                      WalkCase{"<a title=\"it's\">", "<@1name(a) {title=it's}>@17 "},
                      WalkCase{"<a href='x", "<@1name(a) {href=x}>@11 "}, WalkCase{"<a href", "<@1name(a) {href}>@8 "},
                      WalkCase{"<", "T@1[<]@2 "}, WalkCase{"x<1>", "T@1[x<1>]@5 "}, WalkCase{"x<", "T@1[x<]@3 "},
                      WalkCase{"<?xml version=\"1.0\"?>", "<@1name(?xml) {version=1.0} {?}>@22 "},
                      WalkCase{"\r\n<b>t</b>", "T@1[\r\n]@3 <@3name(b)>@6 T@6[t]@7 <@7name(/b)>@11 "}));

TEST(THTMLWalk, NulEndsTheDocument) {
  const std::string doc("<b>x\0<i>y", 9);
  EXPECT_EQ(WalkLog(doc), "<@1name(b)>@4 T@4[x]@5 ");
}

TEST(THTMLWalk, StepBeforeWalkIsAProgrammingError) {
  Recorder r;
  EXPECT_THROW(r.Step(), EAssertionFailed);
}

TEST(THTMLWalk, FieldsKeepEarlierValuesUntilOverwritten) {
  class Probe : public THTMLWalk {
   public:
    std::string seen;

   protected:
    void DoBeginTag() override { seen += "begin:" + TagName + "/" + AttrName + "=" + AttrValue + ";"; }
    void DoBeginText() override { seen += "text:" + Text + ";"; }
  } p;
  p.Walk("<a href=x>t<b>u");
  EXPECT_EQ(p.seen, "begin:/=;text:;begin:a/href=x;text:t;");
}

TEST(THTMLWalk, TokenStartIsTheFirstByteOfTheToken) {
  class Probe : public THTMLWalk {
   public:
    std::string seen;

   protected:
    void Note(char what) { seen += what + std::to_string(TokenStart - DocStart + 1) + " "; }
    void DoTagName() override { Note('n'); }
    void DoText() override { Note('t'); }
    void DoAttributeName() override { Note('a'); }
    void DoAttributeValue() override { Note('v'); }
  } p;
  p.Walk("ab<p x='y' z=w>cd");
  EXPECT_EQ(p.seen, "t1 n4 a6 v9 a12 v14 t16 ");
}

TEST(THTMLWalk, IsTagIgnoresCase) {
  class Probe : public THTMLWalk {
   public:
    int titles = 0, metaNames = 0;

   protected:
    void DoEndTag() override { titles += IsTag("/title"); }
    void DoAttributeValue() override { metaNames += IsTagAttr("META", "name"); }
  } p;
  p.Walk("<TITLE>x</TITLE><meta NAME=d><Meta content=x>");
  EXPECT_EQ(p.titles, 1);
  EXPECT_EQ(p.metaNames, 1);
}

TEST(THTMLWalk, WalksAgainOnAnotherDocument) {
  Recorder r;
  r.Walk("<a>");
  r.Walk("x");
  EXPECT_EQ(r.log, "<@1name(a)>@4 T@1[x]@2 ");
}

}  // namespace
