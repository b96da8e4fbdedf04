// The platform services of a program without a window system, created and wired together in
// one place; tessaly-crawl and the tests build one each. Each member is named after its field
// of platform::Services. The thread that creates the bundle is the user-interface thread. The
// network and the folders are the caller's (the system's for tessaly-crawl, fixed ones for
// tests) and must outlive the bundle.
#pragma once

#include "platform/Headless.h"
#include "platform/Platform.h"

namespace platform {

class HeadlessServices {
 public:
  HeadlessServices(Network& network, Paths& paths);
  HeadlessServices(const HeadlessServices&) = delete;
  HeadlessServices& operator=(const HeadlessServices&) = delete;

  HeadlessUiThread Ui;
  HeadlessPrompter Ask;
  HeadlessBrowser Web;
  HeadlessPreview View;
  HeadlessProgressWindow Progress;
  Network& Net;
  Paths& Dirs;
  // Points at the objects above; starting programs and the download window stay null.
  platform::Services Services;
};

}  // namespace platform
