// The desktop program's window over a temporary program folder, with scripted answers to its
// questions, and a way to act on the modal dialogs it opens.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "gui/MainWindow.h"
#include "gui/QtServices.h"
#include "platform/Headless.h"
#include "gui/Serve.h"
#include "support/TempDir.h"

// Once a modal dialog is up, calls `act` with it (again on later events while `act` returns
// false, for a dialog that is still getting ready).
void WhenModal(std::function<bool(QWidget*)> act);
// The child of `parent` named `name`, of type T (fails the test when missing).
template <class T>
T* Child(QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(QString::fromLatin1(name));
  EXPECT_TRUE(child) << name;
  return child;
}

class DialogFixture : public ::testing::Test {
 protected:
  DialogFixture();
  ~DialogFixture() override;
  // Creates the logic and the window and shows it; `lang` is written as "lang.txt" first.
  void OpenWindow(const std::string& lang = std::string());
  // Crawls `address` from the address box and serves the crawl to its end.
  void Crawl(const std::string& address);
  TSpiderNode* Node(const std::string& address) const;
  // Selects the tree entry in the real tree view.
  void Select(TTreeEntry* entry);

  TempDir dir;
  platform::FixedPaths paths;
  platform::FixedNetwork net;
  platform::HeadlessPrompter ask;
  platform::HeadlessKeyring keyring;
  platform::HeadlessLauncher launcher;
  std::vector<std::string> browsed;  // what the desktop's browser was asked to show
  std::unique_ptr<gui::QtServices> qt;
  std::unique_ptr<TTessalyApp> app;
  std::unique_ptr<gui::TFormTessalyView> window;
};
