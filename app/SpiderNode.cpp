#include "app/SpiderNode.h"

#include <algorithm>
#include <cstring>

#include "Kel/KelTranslate.h"
#include "Kel/KelIdHTTP.h"
#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "app/SpiderTools.h"

TSpiderNode::TSpiderNode(TSiteMap& map, const TURI* uri, TTreeEntry* treeNode, int index)
    : TreeNode(treeNode), Index_(index), Map_(&map) {
  KelAssert(treeNode, "a spider node needs its tree entry");
  if (uri) {
    TURI own = *uri;
    DropDefaultPort(own);
    own.Bookmark.clear();
    URI_.Assign(own);
  }
}

const char* const kRedirectLoopText = "Redirect loop";
const char* const kExcludedText = "Excluded";
const char* const kRobotsBlockedText = "Blocked by robots.txt";
const char* const kTooManyRedirectsText = "Too many redirects";

void TSpiderNode::RecordResponse(const THTTPResponse& response) {
  const int32_t code = response.ResponseCode();
  // Another check of a redirect already found to loop answers the same: the finding stays.
  const bool keepFailure = IsRedirectFailure() && code == ResponseCode && response.Location == Location;
  ResponseCode = code;
  if (!keepFailure) ResponseText = response.ResponseText;
  ContentLength = response.ContentLength;
  ContentType = response.ContentType;
  RemoteDate = response.Date;
  LastModified = response.LastModified;
  Location = response.Location;
  Server = response.Server;
  Map_->Modified = true;
}

namespace {
// Lists up to this length are searched member by member (a page rarely has more links); longer
// ones through their set.
constexpr size_t kIndexedListSize = 64;

// Appends to a list that only grows: full, it grows by a quarter (at least 4) rather than
// doubling, so that the room kept for later members is an eighth of the list on average, not
// a third; still a constant time per member. An odd capacity fills the allocator's 16-byte
// steps (8 bytes of its own, then 8 per member).
void Append(TSpiderNodeDynArray& list, TSpiderNode* node) {
  if (list.size() == list.capacity()) list.reserve((list.size() + std::max<size_t>(4, list.size() / 4)) | 1);
  list.push_back(node);
}
}  // namespace

void TSpiderNode::AddMember(TSpiderNodeDynArray& list, std::unique_ptr<TMemberSet>& set, TSpiderNode* node) {
  if (set) {
    if (set->insert(node).second) Append(list, node);
    return;
  }
  if (std::find(list.begin(), list.end(), node) != list.end()) return;
  Append(list, node);
  if (list.size() > kIndexedListSize) set = std::make_unique<TMemberSet>(list.begin(), list.end());
}

void TSpiderNode::AddToLinks(TSpiderNode* target) { AddMember(Links, LinkSet_, target); }

void TSpiderNode::AddToReferers(TSpiderNode* source) {
  KelAssert(source, "a referer is required");
  if (source == this) return;
  AddMember(Referers, RefererSet_, source);
}

namespace {
uint32_t TextLength(const char* at) {
  uint32_t n;
  std::memcpy(&n, at, sizeof n);
  return n;
}
}  // namespace

std::string_view TSpiderNode::Title() const {
  return Texts_ ? std::string_view(Texts_.get() + 8, TextLength(Texts_.get())) : std::string_view();
}

std::string_view TSpiderNode::Description() const {
  if (!Texts_) return {};
  return {Texts_.get() + 8 + TextLength(Texts_.get()), TextLength(Texts_.get() + 4)};
}

void TSpiderNode::SetTitle(std::string_view title) { SetTexts(title, Description()); }
void TSpiderNode::SetDescription(std::string_view description) { SetTexts(Title(), description); }

void TSpiderNode::SetTexts(std::string_view title, std::string_view description) {
  std::unique_ptr<char[]> texts;
  if (!title.empty() || !description.empty()) {
    // A page's texts are limited by the page's size; a text of 4 GB or more is cut there.
    title = title.substr(0, UINT32_MAX);
    description = description.substr(0, UINT32_MAX);
    const auto titleLength = static_cast<uint32_t>(title.size());
    const auto descriptionLength = static_cast<uint32_t>(description.size());
    texts.reset(new char[8 + title.size() + description.size()]);
    std::memcpy(texts.get(), &titleLength, 4);
    std::memcpy(texts.get() + 4, &descriptionLength, 4);
    std::copy(title.begin(), title.end(), texts.get() + 8);
    std::copy(description.begin(), description.end(), texts.get() + 8 + title.size());
  }
  Texts_ = std::move(texts);  // after the copy: either text may be read from the old block
}

std::string TSpiderNode::URLText() const { return ::URLText(URI_.Parts()); }

void TSpiderNode::RefreshIcon() {
  if (TreeNode && TreeNode->Tree) TreeNode->Tree->RefreshEntry(TreeNode);
}

bool TSpiderNode::IsRedirectFailure() const {
  return (ResponseCode == 301 || ResponseCode == 302) &&
         (ResponseText == kRedirectLoopText || ResponseText == kTooManyRedirectsText);
}
bool TSpiderNode::IsRedirected() const { return (ResponseCode == 301 || ResponseCode == 302) && !IsRedirectFailure(); }
bool TSpiderNode::IsBroken() const {
  return IsRedirectFailure() || (!IsRedirected() && ResponseCode != 0 && ResponseCode != 200);
}
bool TSpiderNode::IsHTML() const { return ContainsText(ContentType, "text/html"); }
bool TSpiderNode::IsImage() const { return ContainsText(ContentType, "image"); }
bool TSpiderNode::IsAudio() const { return ContainsText(ContentType, "audio"); }
bool TSpiderNode::IsVideo() const { return ContainsText(ContentType, "video"); }
bool TSpiderNode::IsApplication() const { return ContainsText(ContentType, "application"); }
bool TSpiderNode::IsInternal() const { return Map_->IsInternal(URI_.Parts()); }
bool TSpiderNode::IsInternalLink() const { return IsInternal() && !IsBroken(); }
bool TSpiderNode::HasSpellingErrors() const { return SpellingErrors > 0; }
bool TSpiderNode::IsSpiderable() const {
  if (!IsHTML() || ResponseCode != 200) return false;
  return Map_->IsInternal(URI_.Parts()) || Map_->IsCrawled(URI());
}

bool TSpiderNode::IsMappable() const {
  return IsInternal() && !IsBroken() &&
         (ContainsText(ContentType, "text") || ContainsText(ContentType, "application") ||
          ContainsText(ContentType, "image"));
}

bool TSpiderNode::IsPreviewable() const {
  return ContainsText(ContentType, "text") || ContainsText(ContentType, "image");
}

bool TSpiderNode::IsNotRequested() const {
  return ResponseCode == 0 && (ResponseText == kExcludedText || ResponseText == kRobotsBlockedText);
}

int TSpiderNode::StatusIndex() const {
  if (IsBroken()) return 2;
  if (IsRedirected()) return 3;
  if (IsNotRequested()) return 4;
  return ResponseCode != 0 ? 1 : 0;
}

int TSpiderNode::TypeIconIndex() const {
  if (!IsInternal()) {
    if (ContainsText(ContentType, "mailto")) return iiMail;
    if (ContainsText(ContentType, "javascript")) return iiScript;
    return iiExternal;
  }
  if (ResponseCode == 0) return iiNotChecked;
  if (ContainsText(ContentType, "text")) return ContainsText(ContentType, "html") ? iiHTMLPage : iiTextFile;
  if (IsImage()) return ContainsText(ContentType, "jpeg") ? iiJPEGImage : iiImage;
  if (IsVideo()) return iiVideo;
  if (IsAudio()) return iiAudio;
  return iiOtherFile;
}

std::string SizeText(int64_t size) {
  if (size < 0) return RunTimeText("N/A");
  const int64_t kb = (size + 1023) / 1024;
  std::string digits = std::to_string(kb);
  std::string grouped;
  const int n = static_cast<int>(digits.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) grouped += ',';
    grouped += digits[static_cast<size_t>(i)];
  }
  return grouped + "KB";
}

std::string DateText(TDateTime date) { return date == 0 ? RunTimeText("Missing") : DateTimeToStr(date); }

TSiteMap::TSiteMap() { SiteURI.Parse("http://LocalHost/"); }

TSiteMap::~TSiteMap() = default;

namespace {
// "http" and "https" are one family (a site may move between them); every other scheme its own.
std::string SchemeFamily(std::string_view protocol) {
  const std::string p = LowerCase(protocol);
  return p == "https" ? std::string("http") : p;
}

std::string_view ServerPort(const TURIParts& uri) {
  // As DropDefaultPort: a scheme without a default port keeps none.
  if (uri.Port.empty()) return uri.Port;
  const std::string fallback = DefaultPortOf(uri.Protocol);
  return fallback.empty() || uri.Port == fallback ? std::string_view() : uri.Port;
}
}  // namespace

bool IsInsideSite(const TURI& site, const TURI& uri) { return IsInsideSite(site.Parts(), uri.Parts()); }

bool IsInsideSite(const TURIParts& site, const TURIParts& uri) {
  return SameText(uri.Host, site.Host) && ServerPort(uri) == ServerPort(site) &&
         SchemeFamily(uri.Protocol) == SchemeFamily(site.Protocol) && StartsText(site.Path, uri.Path);
}

bool TSiteMap::IsInternal(const TURI& uri) const { return IsInsideSite(SiteURI.Parts(), uri.Parts()); }
bool TSiteMap::IsInternal(const TURIParts& uri) const { return IsInsideSite(SiteURI.Parts(), uri); }

bool TSiteMap::IsRequestable(const TURI& uri) const { return IsRequestable(uri.Parts()); }

bool TSiteMap::IsRequestable(const TURIParts& uri) const {
  if (SameText(uri.Protocol, "http") || SameText(uri.Protocol, "https")) return true;
  return SameText(uri.Protocol, "file") && SameText(uri.Host, "LocalHost") && SameText(SiteURI.Protocol, "file");
}

TSpiderNode* TSiteMap::CreateNode(const TURI* uri, TTreeEntry* treeNode) {
  Nodes_.push_back(std::make_unique<TSpiderNode>(*this, uri, treeNode, Count()));
  return Nodes_.back().get();
}

void TSiteMap::Clear() {
  ++Generation_;
  Anchors.Clear();
  Nodes_.clear();
  SiteURI.Parse("http://LocalHost/");
}

