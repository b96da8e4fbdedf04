#include "app/UnitSpelling.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelStr.h"
#include "support/AppFixture.h"

namespace {

using Step = std::function<void(TFormSpelling&)>;

// The dialog's window as a user drives it: once shown, presses the scripted buttons in turn
// while the dialog is open; a script that runs out cancels the dialog.
class ScriptedView : public TSpellingView {
 public:
  explicit ScriptedView(TFormSpelling& form) : Form_(form) {}

  std::deque<Step> Script;
  std::vector<std::string> Shown;  // the word in EditNotInDictionary at each step
  std::string LastPreview;
  std::string Caption;
  int32_t SelStart = -1, SelLength = 0;
  int Runs = 0;

  void SetCaption(const std::string& text) override { Caption = text; }
  void StateChanged() override {}
  void ShowSource(const std::string&) override {}
  void SelectSource(int32_t start, int32_t length) override {
    SelStart = start;
    SelLength = length;
    Shown.push_back(Form_.NotInDictionary);
  }
  bool PreviewVisible() override { return true; }
  void ShowPreview(const std::string& html) override { LastPreview = html; }
  platform::ModalResult RunModal(const std::function<void()>& onShown) override {
    ++Runs;
    Open_ = true;
    onShown();
    while (Open_) {
      if (Script.empty()) {
        Form_.ButtonCancelClick();
        break;
      }
      Step step = std::move(Script.front());
      Script.pop_front();
      step(Form_);
    }
    return Result_;
  }
  void Close(platform::ModalResult result) override {
    Open_ = false;
    Result_ = result;
  }

 private:
  TFormSpelling& Form_;
  bool Open_ = false;
  platform::ModalResult Result_ = platform::ModalResult::Cancel;
};

const Step Ignore = [](TFormSpelling& f) { f.ButtonIgnoreClick(); };
const Step Add = [](TFormSpelling& f) { f.ButtonAddClick(); };
const Step ChangeAll = [](TFormSpelling& f) { f.ButtonChangeAllClick(); };
const Step Change = [](TFormSpelling& f) { f.ButtonChangeClick(); };
const Step OK = [](TFormSpelling& f) { f.ButtonOKClick(); };
Step Type(const std::string& text) {
  return [text](TFormSpelling& f) { f.EditChangeToChange(text); };
}

class SpellingDialogTest : public AppFixture {
 protected:
  SpellingDialogTest() : form(services, app->Dictionaries), view(form) {
    form.View = &view;
    form.Download = &app->Download;
  }
  TFormSpelling form;
  ScriptedView view;
};

struct DialogCase {
  const char* name;
  std::string text;
  std::vector<Step> steps;
  bool result;
  std::string corrected;           // the text afterwards (the original when cancelled)
  std::vector<std::string> shown;  // the words shown, in order
};

void PrintTo(const DialogCase& c, std::ostream* os) { *os << c.name; }

class SpellingDialogSteps : public SpellingDialogTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(SpellingDialogSteps, Buttons) {
  const DialogCase& c = GetParam();
  view.Script.assign(c.steps.begin(), c.steps.end());
  std::string text = c.text;
  EXPECT_EQ(form.CheckText(text, "page.html"), c.result);
  EXPECT_EQ(text, c.corrected);
  EXPECT_EQ(view.Shown, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, SpellingDialogSteps,
    ::testing::Values(
        // Every later spelling of the word, whatever its case, becomes the text typed.
        DialogCase{"ChangeAllReplacesEveryCase",
                   "<p>teh site Teh page TEH</p>",
                   {Type("the"), ChangeAll},
                   true,
                   "<p>the site the page the</p>",
                   {"teh"}},
        // Earlier errors are not revisited by Change All.
        DialogCase{"ChangeAllLeavesEarlierErrors",
                   "<p>teh foo teh</p>",
                   {Ignore, Ignore, Type("the"), ChangeAll},
                   true,
                   "<p>teh foo the</p>",
                   {"teh", "foo", "teh"}},
        // Added words are skipped later on without being shown.
        DialogCase{"AddSkipsLaterOccurrences",
                   "<p>foo site foo bar</p>",
                   {Add, Ignore},
                   true,
                   "<p>foo site foo bar</p>",
                   {"foo", "bar"}},
        // A longer replacement moves the later words: the second word is still found.
        DialogCase{"ChangeMovesLaterPositions",
                   "<p>teh teh</p>",
                   {Type("thee"), Change, Type("the"), Change},
                   true,
                   "<p>thee the</p>",
                   {"teh", "teh"}},
        DialogCase{
            "OKKeepsChangesSoFar", "<p>teh foo</p>", {Type("the"), Change, OK}, true, "<p>the foo</p>", {"teh", "foo"}},
        DialogCase{
            "CancelDiscardsChanges", "<p>teh foo</p>", {Type("the"), Change}, false, "<p>teh foo</p>", {"teh", "foo"}},
        DialogCase{"LineBreaksStayAsTheDocumentHasThem",
                   "<p>a\nteh\rsite\r\n</p>",
                   {Ignore},
                   true,
                   "<p>a\nteh\rsite\r\n</p>",
                   {"teh"}},
        DialogCase{"LFDocumentStaysLFWhenAWordChanges",
                   "<p>a\nteh\nsite\n</p>\n",
                   {Type("the"), Change},
                   true,
                   "<p>a\nthe\nsite\n</p>\n",
                   {"teh"}}));

TEST_F(SpellingDialogTest, ADocumentWithoutErrorsShowsNoDialog) {
  std::string text = "<p>welcome to the site</p>";
  EXPECT_FALSE(form.CheckText(text, "x"));
  EXPECT_EQ(view.Runs, 0);
  ASSERT_FALSE(ask.Log.empty());
  EXPECT_EQ(ask.Log.back().Text, TFormSpelling::kNoErrors);
}

TEST_F(SpellingDialogTest, TheCurrentWordIsShownMarkedWithSuggestionsAndStatus) {
  view.Script = {[&](TFormSpelling& f) {
    EXPECT_EQ(f.StatusText, "Not in Dictionary: Sitt");
    EXPECT_EQ(f.ChangeTo, "Sitt");
    EXPECT_FALSE(f.ChangeEnabled);
    EXPECT_FALSE(f.SuggestEnabled);
    ASSERT_FALSE(f.Suggestions.empty());
    EXPECT_TRUE(SameText(f.Suggestions.front(), "site")) << f.Suggestions.front();
    f.ListViewSelectItem(0);
    EXPECT_EQ(f.ChangeTo, f.Suggestions.front());
    EXPECT_TRUE(f.ChangeEnabled);
    EXPECT_TRUE(f.ChangeAllEnabled);
    EXPECT_TRUE(f.SuggestEnabled);
  }};
  std::string text = "<p>a Sitt</p>";
  form.CheckText(text, "page.html");
  EXPECT_EQ(view.Caption, "Quorlix Tessaly - [page.html]");
  EXPECT_EQ(view.SelStart, 5);
  EXPECT_EQ(view.SelLength, 4);
  EXPECT_EQ(view.LastPreview,
            "<p>a <FONT id=idFocus style=\"BACKGROUND-COLOR:#0000FF\" color=\"#ffffff\">Sitt</FONT></p>");
}

// A UTF-8 page keeps every byte the user did not change: accents, non-Latin letters and
// typographic quotes and its line breaks survive a correction and the save.
TEST_F(SpellingDialogTest, CheckFileKeepsUTF8TextAndSavesOverTheFile) {
  const std::string original = "<p>Caf\xC3\xA9 \xE2\x80\x9Cteh\xE2\x80\x9D na\xC3\xAFve \xD0\xB4\xD0\xBE\xD0\xBC</p>\n";
  const std::string file = dir.File("page.html");
  dir.Write("page.html", original);
  view.Script = {Ignore, Type("the"), Change, OK};  // "Caf" first, then "teh"; "na" and "ve" stay
  EXPECT_TRUE(form.CheckFile(file));
  std::string expected = original;
  expected.replace(expected.find("teh"), 3, "the");  // the LF at the end stays LF
  EXPECT_EQ(LoadTextFromFile(file), expected);
  EXPECT_EQ(ask.Log.back().Text, TFormSpelling::kComplete);
}

TEST_F(SpellingDialogTest, CheckFileWithoutChangesWritesNothing) {
  const std::string file = dir.File("page.html");
  dir.Write("page.html", "<p>teh</p>\n");
  view.Script = {Ignore};
  EXPECT_TRUE(form.CheckFile(file));
  EXPECT_EQ(LoadTextFromFile(file), "<p>teh</p>\n");
  EXPECT_EQ(ask.Log.back().Text, TFormSpelling::kComplete);
}

TEST_F(SpellingDialogTest, CheckFileOfAMissingDocumentFailsWithItsMessage) {
  EXPECT_THROW(form.CheckFile(dir.File("none.html")), EError);
  EXPECT_EQ(view.Runs, 0);
}

}  // namespace
