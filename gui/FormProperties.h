// "URL Properties": everything known about one node (title, description, the remote document,
// the local copy) and the pages that refer to it, with a menu acting on a referer. The fields
// come from TFormSpiderNodeProperties; the main window lends its commands through the hooks.
#pragma once

#include <QDialog>
#include <functional>

class QGroupBox;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QTreeWidget;
class TSpiderNode;
class TFormSpiderNodeProperties;

namespace gui {

class TFormProperties : public QDialog {
  Q_OBJECT
 public:
  // What the dialog asks of the main window.
  struct Hooks {
    std::function<void(TSpiderNode*, bool newWindow)> Preview;
    std::function<void(TSpiderNode*, bool spelling)> Edit;
    std::function<void(TSpiderNode*)> SelectInTree;  // the referer's entry becomes the tree's selection
    std::function<void(const std::string&)> OpenInBrowser;
    std::function<void(const std::string&)> ShowError;
  };
  TFormProperties(TFormSpiderNodeProperties& logic, Hooks hooks, QWidget* parent = nullptr);

  // Fills the dialog for `node` and shows it modally.
  void ShowFor(TSpiderNode& node);
  // Fills the fields from the logic without showing the dialog.
  void Fill(TSpiderNode& node);
  // The referers list's menu: recomputed each time it is shown.
  void RefreshMenu();
  TSpiderNode* SelectedReferer() const;

  TFormSpiderNodeProperties& Logic;
  QLineEdit *EditTitle, *EditDesc, *EditRemote, *EditRemoteDate, *EditRemoteSize, *EditRemoteResponse, *EditLocal,
      *EditLocalDate, *EditLocalSize;
  QPushButton *ButtonRemote, *ButtonLocal, *ButtonClose;
  QTreeWidget* LVReferers;
  // The node's missing fragments ("#install"), each with the pages that link to it below it.
  QGroupBox* GroupBrokenAnchors;
  QTreeWidget* LVBrokenAnchors;
  QMenu* PMReferers;
  QAction *LVOpen, *LVOpeninNewWindow, *LVEdit, *LVSpelling;

  // Escape and the close box end the dialog as Close does: with OK.
  void reject() override { accept(); }

 private:
  void Run(const std::function<void()>& command);
  Hooks Hooks_;
};

}  // namespace gui
