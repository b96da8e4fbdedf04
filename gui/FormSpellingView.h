// The spelling dialog's window over TFormSpelling: the unknown word, the replacement and the
// suggestions, the buttons, and two pages: "Preview" (an embedded browser that runs no scripts,
// made only while the dialog is in use, showing the word highlighted and scrolled into view)
// and "Source" (the read-only text with the word selected). Every gesture goes to the logic's handler; the window redraws from its state.
#pragma once

#include <QDialog>
#include <QTemporaryDir>

#include "app/UnitSpelling.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTextBrowser;
class QWebEngineView;

namespace gui {

class TPreviewPage;

class TFormSpellingView : public QDialog, public TSpellingView {
  Q_OBJECT
 public:
  // `webEngine`: the preview is a web view; without it (tests), a plain rich-text view.
  TFormSpellingView(TFormSpelling& form, bool webEngine, QWidget* parent = nullptr);
  ~TFormSpellingView() override;

  void SetCaption(const std::string& text) override;
  void StateChanged() override;
  void ShowSource(const std::string& text) override;
  void SelectSource(int32_t start, int32_t length) override;
  bool PreviewVisible() override;
  void ShowPreview(const std::string& html) override;
  platform::ModalResult RunModal(const std::function<void()>& onShown) override;
  void Close(platform::ModalResult result) override;

  // The position in the Source page's text of a byte offset into the form's text.
  static int TextPosition(const std::string& text, int32_t byteOffset);

  TFormSpelling& Form;
  QLineEdit* EditNotInDictionary;
  QLineEdit* EditChangeTo;
  QListWidget* ListView;
  QPushButton *ButtonIgnore, *ButtonAdd, *ButtonChange, *ButtonChangeAll, *ButtonSuggest, *ButtonOK, *ButtonCancel;
  QTabWidget* PageControl;
  QWidget* TSPreview;
  QWidget* TSSource;
  QWebEngineView* WebBrowser = nullptr;  // while the dialog shows a page, with the web engine
  QTextBrowser* TextPreview = nullptr;   // without it
  QPlainTextEdit* RichEdit;
  QStatusBar* StatusBar;
  // The address of the preview's last document ("...#idFocus"), for tests.
  QString LastPreviewUrl;

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  // The web view of the preview page, made on first use.
  QWebEngineView* EnsureBrowser();
  void ReleaseBrowser();
  std::function<void()> OnShown_;
  platform::ModalResult Result_ = platform::ModalResult::Cancel;
  bool Closing_ = false;
  int Redrawing_ = 0;
  QTemporaryDir PreviewFolder_;
  TPreviewPage* PreviewPage_ = nullptr;  // the preview's page, with the web engine
  int PreviewCount_ = 0;
};

}  // namespace gui
