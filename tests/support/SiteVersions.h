// Two versions of a small site on a loopback server, for comparisons of one crawl with an
// earlier one: between them pages appear, go, break, get fixed and change their titles.
//   /                   links every page the version serves
//   /same.html          the same in both
//   /retitled.html      "Old title", then "New title"
//   /old.html           only in version 1
//   /new.html           only in version 2
//   /breaks.html        200, then 404
//   /fixed.html         404, then 200
//   /still-broken.html  404 in both
//   /new-broken.html    only in version 2, 404
#pragma once

#include <atomic>
#include <string>

#include "support/TestServer.h"

// Serves the site on `server` (before it starts); Version picks what it answers.
class SiteVersions {
 public:
  struct Page {
    const char* Path;
    int V1, V2;  // the status of each version: 200, 404, or 0 for "not served and not linked"
    const char* Title1;
    const char* Title2;
  };
  explicit SiteVersions(TestServer& server) {
    for (const Page& page : kPages) {
      server.Http().Get(page.Path, [this, page](const httplib::Request&, httplib::Response& res) {
        const int status = Version == 1 ? page.V1 : page.V2;
        if (status != 200) {
          res.status = 404;
          return;
        }
        res.set_content(Body(page), "text/html");
      });
    }
  }
  std::atomic<int> Version{1};

 private:
  std::string Body(const Page& page) const {
    std::string body = std::string("<title>") + (Version == 1 ? page.Title1 : page.Title2) + "</title>";
    if (std::string(page.Path) != "/") return body;
    for (const Page& other : kPages) {
      const int status = Version == 1 ? other.V1 : other.V2;
      if (std::string(other.Path) != "/" && status != 0) body += std::string("<a href='") + (other.Path + 1) + "'>x</a>";
    }
    return body;
  }
  static constexpr Page kPages[] = {
      {"/", 200, 200, "Home", "Home"},
      {"/same.html", 200, 200, "Same", "Same"},
      {"/retitled.html", 200, 200, "Old title", "New title"},
      {"/old.html", 200, 0, "Old", "Old"},
      {"/new.html", 0, 200, "New", "New"},
      {"/breaks.html", 200, 404, "Breaks", "Breaks"},
      {"/fixed.html", 404, 200, "Fixed", "Fixed"},
      {"/still-broken.html", 404, 404, "", ""},
      {"/new-broken.html", 0, 404, "", ""},
  };
};

