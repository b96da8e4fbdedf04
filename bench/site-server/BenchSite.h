// A generated site of any size that needs no files: every path is answered from the seed and
// the size alone. Pages live in folders of 100 ("/d12/p1234.html", page 0 is "/"), each with a
// title, a description, a few words and 10 to 30 links: the next page (so every page is reached),
// other pages, images, missing pages (404) and redirects (301 to a page).
// Used by bench-site-server and by the tests that crawl a site of a few thousand addresses.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct TBenchAnswer {
  int Status = 404;
  std::string Type = "text/html";
  std::string Body;
  std::string Location;
};

// One link of a page: an anchor, or an image's source.
struct TBenchLink {
  std::string Path;
  bool Image = false;
};

class TBenchSite {
 public:
  // About `size` addresses: 80% pages, 12% images, 5% missing pages, 3% redirects.
  TBenchSite(uint64_t seed, uint64_t size)
      : Seed_(seed),
        Pages_(Max1(size * 80 / 100)),
        Images_(Max1(size * 12 / 100)),
        Missing_(Max1(size * 5 / 100)),
        Redirects_(Max1(size * 3 / 100)) {}

  uint64_t Pages() const { return Pages_; }

  static std::string PagePath(uint64_t k) {
    return k == 0 ? std::string("/") : "/d" + std::to_string(k / 100) + "/p" + std::to_string(k) + ".html";
  }

  // The links of page `k` in the order the page holds them (a page may name an address twice).
  std::vector<TBenchLink> Links(uint64_t k) const {
    std::vector<TBenchLink> links;
    links.push_back({PagePath((k + 1) % Pages_), false});
    const int count = 10 + static_cast<int>(Hash(k, 1) % 21);
    for (int j = 1; j < count; ++j) {
      const uint64_t h = Hash(k, 1000 + static_cast<uint64_t>(j)), pick = h % 100, n = h / 100;
      if (pick < 70) links.push_back({PagePath(n % Pages_), false});
      else if (pick < 88) links.push_back({"/img/i" + std::to_string(n % Images_) + ".gif", true});
      else if (pick < 95) links.push_back({"/gone" + std::to_string(n % Missing_) + ".html", false});
      else links.push_back({"/r" + std::to_string(n % Redirects_) + ".html", false});
    }
    return links;
  }

  // The page a redirect's address sends to.
  uint64_t RedirectTarget(uint64_t r) const { return Hash(r, 7) % Pages_; }

  // The answer for `path`: a page, an image, a redirect or 404.
  TBenchAnswer Answer(const std::string& path) const {
    TBenchAnswer a;
    unsigned long long x = 0, y = 0;
    int used = 0;
    if (path == "/") return Page(0);
    if (std::sscanf(path.c_str(), "/d%llu/p%llu.html%n", &x, &y, &used) == 2 && static_cast<size_t>(used) == path.size() &&
        y > 0 && y < Pages_ && x == y / 100 && PagePath(y) == path)
      return Page(y);
    if (std::sscanf(path.c_str(), "/img/i%llu.gif%n", &x, &used) == 1 && static_cast<size_t>(used) == path.size() &&
        x < Images_ && "/img/i" + std::to_string(x) + ".gif" == path) {
      a.Status = 200;
      a.Type = "image/gif";
      a.Body = "GIF89a";
      return a;
    }
    if (std::sscanf(path.c_str(), "/r%llu.html%n", &x, &used) == 1 && static_cast<size_t>(used) == path.size() &&
        x < Redirects_ && "/r" + std::to_string(x) + ".html" == path) {
      a.Status = 301;
      a.Location = PagePath(RedirectTarget(x));
      return a;
    }
    a.Body = "<title>Not found</title>";
    return a;
  }

 private:
  static uint64_t Max1(uint64_t n) { return n > 0 ? n : 1; }
  uint64_t Hash(uint64_t a, uint64_t b) const {
    uint64_t h = Seed_ * 0x9E3779B97F4A7C15ull ^ (a + 0x632BE59BD9B4E019ull) * 0xBF58476D1CE4E5B9ull ^ b * 0x94D049BB133111EBull;
    h ^= h >> 31;
    h *= 0xD6E8FEB86659FD93ull;
    return h ^ (h >> 32);
  }

  TBenchAnswer Page(uint64_t k) const {
    static const char* const kWords[] = {"site",  "page",  "widget", "folder", "section", "about", "product",
                                         "order", "price", "stock",  "news",   "report",  "garden", "river"};
    TBenchAnswer a;
    a.Status = 200;
    std::string& b = a.Body;
    b = "<html><head><title>Page " + std::to_string(k) + "</title><meta name=description content=\"About page " +
        std::to_string(k) + "\"></head><body><p>";
    for (uint64_t w = 0; w < 12; ++w) b += std::string(kWords[Hash(k, 100 + w) % 14]) + " ";
    b += "</p>\n";
    for (const TBenchLink& link : Links(k))
      b += link.Image ? "<img src=\"" + link.Path + "\">\n" : "<a href=\"" + link.Path + "\">link</a>\n";
    b += "</body></html>\n";
    return a;
  }

  uint64_t Seed_, Pages_, Images_, Missing_, Redirects_;
};
