#include "support/AppFixture.h"

using namespace std::chrono_literals;

namespace {
const char* const kWords = "a\nto\nmail\njs\nabout\nhome\nimage\nlink\npage\nsite\nthe\nwelcome\nshop\ntarget\n";
}

AppFixture::AppFixture() : paths(dir.Str()), headless(net, paths) {
  dir.Write("app/english.txt", kWords);
  dir.Write("data/.keep", "");
  app = std::make_unique<TTessalyApp>(services);
  EXPECT_TRUE(app->Start());
}

AppFixture::~AppFixture() {
  app.reset();
  EXPECT_TRUE(ask.Unexpected.empty()) << ask.Unexpected.front();
}

void AppFixture::Crawl(const std::string& address) {
  app->Main.EditURL = address;
  app->Main.ButtonSpiderClick();
  WaitIdle();
}

void AppFixture::WaitIdle() {
  ASSERT_TRUE(ui.ProcessUntil([&] { return app->Pool.IsIdle(); }, 60s));
}

TSpiderNode* AppFixture::Node(const std::string& address) const {
  for (const auto& n : app->Map.Nodes())
    if (n->URLText() == address) return n.get();
  return nullptr;
}
