// The address box never grows with its content: long recent addresses, a long typed address
// and a hostile MRU.txt leave the window's width as it was; the drop-down elides.
#include <QAbstractItemView>
#include <QScreen>

#include "GuiFixture.h"

namespace {

class AddressBoxTest : public GuiFixture {};

TEST_F(AddressBoxTest, LongAddressesNeverWidenTheBoxOrTheWindow) {
  const int boxWidth = window->EditURL->width();
  const int windowWidth = window->width();
  const QSize boxHint = window->EditURL->sizeHint();
  ASSERT_TRUE(CloseWindow());
  const std::string longest = "http://h/" + std::string(2048 - 9, 'x');
  dir.Write("app/MRU.txt", "http://h/" + std::string(3000, 'p') + "\r\n" + longest + "\r\n" + std::string(1 << 20, 'j'));
  OpenWindow();
  ASSERT_EQ(app->Main.RecentAddresses, std::vector<std::string>{longest});
  ASSERT_EQ(window->EditURL->count(), 1);
  const int availableWidth = window->screen()->availableGeometry().width();
  const struct {
    const char* Name;
    std::string Text;
  } cases[] = {
      {"the recent list", ""},
      {"a long typed address", "http://h/" + std::string(100000, 't')},
      {"the longest recent address", longest},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    if (!c.Text.empty()) window->EditURL->setEditText(QString::fromStdString(c.Text));
    QCoreApplication::processEvents();
    EXPECT_EQ(window->EditURL->sizeHint(), boxHint);
    EXPECT_EQ(window->EditURL->width(), boxWidth);
    EXPECT_EQ(window->width(), windowWidth);
    EXPECT_LE(window->minimumSizeHint().width(), availableWidth);
  }
  // The drop-down fits the screen and elides its long entry.
  window->EditURL->showPopup();
  QAbstractItemView* view = window->EditURL->view();
  EXPECT_TRUE(ServeUntil([&] { return view->isVisible(); }));
  EXPECT_LE(view->window()->width(), availableWidth);
  EXPECT_EQ(view->textElideMode(), Qt::ElideMiddle);
  window->EditURL->hidePopup();
}

}  // namespace
