// The whole program on the headless platform: a temporary program folder with a small
// dictionary, scripted questions, and the real request pool.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "app/Application.h"
#include "platform/Headless.h"
#include "platform/HeadlessServices.h"
#include "support/TempDir.h"

class AppFixture : public ::testing::Test {
 protected:
  AppFixture();
  ~AppFixture() override;

  // Starts a crawl from `address` and serves the pool until it has nothing left to do.
  void Crawl(const std::string& address);
  void WaitIdle();
  // The node of an address text, or none.
  TSpiderNode* Node(const std::string& address) const;

  TempDir dir;
  platform::FixedPaths paths;
  platform::FixedNetwork net;
  platform::HeadlessServices headless;  // the platform over net and paths; its parts by name:
  platform::HeadlessUiThread& ui = headless.Ui;
  platform::HeadlessPrompter& ask = headless.Ask;
  platform::HeadlessBrowser& browser = headless.Web;
  platform::HeadlessPreview& preview = headless.View;
  platform::HeadlessProgressWindow& progressWindow = headless.Progress;
  platform::Services& services = headless.Services;
  std::unique_ptr<TTessalyApp> app;
};
