// "Validate External URL's" keeps the user's choice across starts; until the user chooses, it
// follows the network connection as before.
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "GuiFixture.h"
#include "gui/MainMenu.h"

namespace {

class ValidateExternalTest : public GuiFixture {};

TEST_F(ValidateExternalTest, TheUsersChoiceIsStoredAndNotTurnedBackOnAtStart) {
  ASSERT_TRUE(CloseWindow());
  net.Connected = true;
  OpenWindow();
  EXPECT_TRUE(app->Main.Tree.ValidateExternalURLs);  // no choice yet: connected turns it on

  // The user turns it off through the File menu.
  gui::InvokeMenuItem(window->Menu->MIValidateExternalURLs);
  EXPECT_FALSE(app->Main.Tree.ValidateExternalURLs);
  ASSERT_TRUE(CloseWindow());

  // Started again, connected: it stays off.
  OpenWindow();
  EXPECT_FALSE(app->Main.Tree.ValidateExternalURLs);
  // Turned on again while offline: it stays on at the next start.
  gui::InvokeMenuItem(window->Menu->MIValidateExternalURLs);
  ASSERT_TRUE(CloseWindow());
  net.Connected = false;
  OpenWindow();
  EXPECT_TRUE(app->Main.Tree.ValidateExternalURLs);
}

}  // namespace
