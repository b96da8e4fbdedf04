#include "platform/HeadlessServices.h"

namespace platform {

HeadlessServices::HeadlessServices(Network& network, Paths& paths) : Net(network), Dirs(paths) {
  Services.Ui = &Ui;
  Services.Ask = &Ask;
  Services.Web = &Web;
  Services.View = &View;
  Services.Net = &Net;
  Services.Dirs = &Dirs;
  Services.Progress = &Progress;
}

}  // namespace platform
