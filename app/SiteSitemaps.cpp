#include "app/SiteSitemaps.h"

#include <zlib.h>

#include "Kel/KelHTMLWalk.h"
#include "Kel/KelStr.h"
#include "Kel/KelURI.h"

namespace {

// Decodes the gzip stream (several members in a row as one) into at most `max` bytes. Sets
// `problem` when the stream is broken or longer than `max`; what was decoded stays.
std::string Gunzip(std::string_view body, size_t max, std::string& problem) {
  std::string out;
  z_stream z{};
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
    problem = "the gzip stream cannot be decoded";
    return out;
  }
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
  z.avail_in = static_cast<uInt>(std::min<size_t>(body.size(), UINT32_MAX));
  char buffer[64 * 1024];
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    const int rc = inflate(&z, Z_NO_FLUSH);
    const size_t got = sizeof buffer - z.avail_out;
    if (out.size() + got > max) {
      out.append(buffer, max - out.size());
      problem = "the sitemap is larger than " + std::to_string(max) + " bytes decoded";
      break;
    }
    out.append(buffer, got);
    if (rc == Z_STREAM_END) {
      // Another member may follow.
      if (z.avail_in == 0 || inflateReset(&z) != Z_OK) break;
      continue;
    }
    if (rc != Z_OK) {
      if (!(rc == Z_BUF_ERROR && got > 0)) {
        problem = "the gzip stream is broken";
        break;
      }
    }
  }
  inflateEnd(&z);
  return out;
}

// The local name of an element: "sm:loc" and "LOC" are "loc".
std::string LocalName(std::string_view tag) {
  const size_t colon = tag.rfind(':');
  if (colon != std::string_view::npos) tag.remove_prefix(colon + 1);
  std::string name(tag);
  for (char& c : name) c = AsciiLower(c);
  return name;
}

class TSitemapWalk : public THTMLWalk {
 public:
  TSitemapWalk(TSitemapDocument& doc, size_t maxAddresses) : Doc_(doc), Max_(maxAddresses) {}
  bool Root = false;  // the root element was <urlset> or <sitemapindex>

 protected:
  void DoTagName() override {
    std::string_view tag = TagName;
    const bool closing = !tag.empty() && tag.front() == '/';
    if (closing) tag.remove_prefix(1);
    if (!tag.empty() && tag.back() == '/') tag.remove_suffix(1);
    if (tag.empty() || tag.front() == '!' || tag.front() == '?') return;
    const std::string name = LocalName(tag);
    if (!Seen_) {
      Seen_ = true;
      Root = name == "urlset" || name == "sitemapindex";
      Doc_.IsIndex = name == "sitemapindex";
      if (!Root) StopWalk();
      return;
    }
    if (name != "loc") return;
    if (!closing) {
      InLoc_ = true;
      Loc_.clear();
      return;
    }
    if (!InLoc_) return;
    InLoc_ = false;
    std::string address = Trim(DecodeCharacterReferences(Loc_));
    if (address.empty()) return;
    if (Doc_.Locations.size() >= Max_) {
      Doc_.Problem = "the sitemap names more than " + std::to_string(Max_) + " addresses";
      StopWalk();
      return;
    }
    Doc_.Locations.push_back(std::move(address));
  }
  void DoText() override {
    // A <loc> is one address: text past the longest address a server takes is not kept.
    if (InLoc_ && Loc_.size() < 64 * 1024) Loc_ += Text.substr(0, 64 * 1024 - Loc_.size());
  }

 private:
  TSitemapDocument& Doc_;
  size_t Max_;
  bool Seen_ = false;
  bool InLoc_ = false;
  std::string Loc_;
};

}  // namespace

bool IsGzip(std::string_view body) {
  return body.size() >= 2 && static_cast<unsigned char>(body[0]) == 0x1f && static_cast<unsigned char>(body[1]) == 0x8b;
}

TSitemapDocument ReadSitemap(std::string_view body, const TSitemapReadLimits& limits) {
  TSitemapDocument doc;
  std::string decoded;
  if (IsGzip(body)) {
    decoded = Gunzip(body, limits.MaxBytes, doc.Problem);
    body = decoded;
  } else if (body.size() > limits.MaxBytes) {
    body = body.substr(0, limits.MaxBytes);
    doc.Problem = "the sitemap is larger than " + std::to_string(limits.MaxBytes) + " bytes";
  }
  TSitemapWalk walk(doc, limits.MaxAddresses);
  walk.Walk(body);
  if (!walk.Root && doc.Problem.empty()) doc.Problem = "not a sitemap: no <urlset> or <sitemapindex>";
  return doc;
}
