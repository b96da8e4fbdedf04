// The site map and its spider nodes: one record per address the crawl has met.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "Kel/KelCompactText.h"
#include "Kel/KelDateTime.h"
#include "Kel/KelURI.h"
#include "app/Anchors.h"

namespace platform {
class Prompter;
}

struct THTTPResponse;
class TFormHTTPCopy;
class TFormProgress;
class TSiteMap;
class TSpiderNode;
class TTreeEntry;
class TListRow;

using TSpiderNodeDynArray = std::vector<TSpiderNode*>;

// Small-icon positions shared by the tree, the list and the rules below.
enum TIconIndex : int {
  iiClosedFolder = 0,
  iiOpenFolder = 1,
  iiBroken = 2,
  iiRedirected = 3,
  iiTextFile = 4,
  iiFetched = 5,
  iiExternal = 6,
  iiNotChecked = 7,
  iiHTMLPage = 8,
  iiImage = 9,
  iiJPEGImage = 10,
  iiOtherFile = 11,
  iiMail = 12,
  iiEmptyCategory = 13,
  iiSiteRoot = 15,
  iiScript = 16,
  iiVideo = 17,
  iiAudio = 18,
};

// The answer texts of a redirect that never reaches a page.
extern const char* const kRedirectLoopText;      // "Redirect loop"
extern const char* const kTooManyRedirectsText;  // "Too many redirects"
// The status texts of addresses that are listed but, by the crawl's settings, never requested.
extern const char* const kExcludedText;       // "Excluded"
extern const char* const kRobotsBlockedText;  // "Blocked by robots.txt"

class TSpiderNode {
 public:
  // Nodes are created by TSiteMap::CreateNode only.
  TSpiderNode(TSiteMap& map, const TURI* uri, TTreeEntry* treeNode, int index);
  TSpiderNode(const TSpiderNode&) = delete;
  TSpiderNode& operator=(const TSpiderNode&) = delete;

  // The address; bookmark and the scheme's default port emptied. Kept packed: URI() unpacks a
  // copy, Address() reads it in place.
  TURI URI() const { return URI_.Unpack(); }
  const TPackedURI& Address() const { return URI_; }
  void SetURI(const TURI& uri) { URI_.Assign(uri); }
  // The fields are ordered so that none leaves a gap: a map keeps one node per address.
  TDateTime RemoteDate = 0;    // "Date" of the last response
  TDateTime LocalDate = 0;     // modification time of the mapped local file
  TDateTime LastModified = 0;  // "Last-Modified" of the last response
  int32_t LocalSize = 0;       // size of the mapped local file, -1 when it does not exist
  int32_t ResponseCode = 0;    // 0 not checked yet, -1 failed without a status line
  int32_t SpellingErrors = 0;
  int32_t ContentLength = 0;  // negative when unknown
  TSharedText ResponseText;   // status line, or the failure message
  TSharedText ContentType;    // for special addresses: the scheme name
  TOwnText Location;
  TSharedText Server;
  TSpiderNodeDynArray Links;     // targets of this page, each once (add with AddToLinks)
  TSpiderNodeDynArray Referers;  // pages linking here, each once, never this node (AddToReferers)
  TTreeEntry* TreeNode;          // the tree entry this node belongs to
  TListRow* ListItem = nullptr;  // the list row showing this node, if any
  TOwnText LocalFile;            // explicit local file name, empty when not mapped
  int32_t Depth = 0;             // clicks from the start page, along the shortest way found

  // The page's title and description as read (empty when none): one block for both, nothing
  // when both are empty.
  std::string_view Title() const;
  std::string_view Description() const;
  void SetTitle(std::string_view title);
  void SetDescription(std::string_view description);
  // Both at once (one block made, where the two calls above make two).
  void SetTexts(std::string_view title, std::string_view description);

  TSiteMap& Map() const { return *Map_; }
  // Position in the site map's node list: the node's number in project files.
  int Index() const { return Index_; }

  // Copies the answer of one request; sets the map's Modified. A redirect failure stays marked
  // when the same redirect is answered again.
  void RecordResponse(const THTTPResponse& response);
  void AddToLinks(TSpiderNode* target);
  void AddToReferers(TSpiderNode* source);
  std::string URLText() const;
  // Recomputes the icon of the node's tree entry and refreshes its list row.
  void RefreshIcon();
  // The local file when it exists, otherwise the address: what previews and "Open" show.
  std::string PreviewTarget() const;

  // Local files. A node's local file is its explicit LocalFile, or derived from the nearest
  // mapped neighbour by mirroring the tree's folders below that neighbour's directory.
  std::string LocalFileName() const;
  // Clears the mappings of this folder level and below, then maps this node to `path` (made
  // absolute when relative) and refreshes the local status of every name that changed.
  void SetLocalFile(const std::string& path);
  // Maps the node to `folder` followed by its tree caption.
  void MapToLocalPath(const std::string& folder);
  // Asks for the local file name ("Select Local File Name"); maps the node on OK.
  bool SelectLocalFileName(platform::Prompter& ask);
  // Clears the mapping of this node, its siblings and everything below them, and refreshes the
  // local status of every name that changed.
  void ClearLocalFiles();
  // Reads the local file's date and size (0 and -1 when there is none); sets Modified.
  void UpdateLocalFileInfo();
  // Downloads the document into its local file with the download dialog, asking for a name
  // when there is none and before overwriting; records the answer on success. True when the
  // local copy is usable (also when the user keeps an existing file). A node whose address is a
  // local file is its own copy: nothing is written, its answer is read from the file again.
  // Raises EError "Could not create directories" when the file's folder cannot be made.
  // `refresh`: refresh the node's icon and row afterwards.
  bool DownloadToLocalFile(TFormHTTPCopy& dialog, bool refresh);
  // True when the local file exists, else the result of DownloadToLocalFile (without refresh);
  // `refresh`: then refresh the node's icon and row.
  bool EnsureLocalCopy(TFormHTTPCopy& dialog, bool refresh);

  // A 301 or 302 answer whose chain of redirects never reaches a page (ResponseText
  // "Redirect loop" or "Too many redirects"): broken, not redirected.
  bool IsRedirectFailure() const;
  bool IsRedirected() const;
  bool IsBroken() const;
  bool IsHTML() const;
  bool IsImage() const;
  bool IsAudio() const;
  bool IsVideo() const;
  bool IsApplication() const;
  bool IsInternal() const;
  bool IsInternalLink() const;
  bool HasSpellingErrors() const;
  bool IsSpiderable() const;
  bool IsMappable() const;
  bool IsPreviewable() const;

  // Listed, but never to be requested: excluded by a pattern or blocked by robots.txt.
  bool IsNotRequested() const;
  // 0 not checked, 1 answered, 2 broken, 3 redirected, 4 never requested.
  int StatusIndex() const;
  int TypeIconIndex() const;

 private:
  friend class TSiteMap;
  // Adds `node` to `list` unless it is there already: a short list is searched, a long one
  // (a page with thousands of links, a page linked from everywhere) keeps a set of its members
  // beside it, so that an addition costs the same however long the list is.
  using TMemberSet = std::unordered_set<const TSpiderNode*>;
  static void AddMember(TSpiderNodeDynArray& list, std::unique_ptr<TMemberSet>& set, TSpiderNode* node);
  int Index_;
  TPackedURI URI_;
  TSiteMap* Map_;
  std::unique_ptr<char[]> Texts_;  // the title's length and the description's (4 bytes each), then both
  std::unique_ptr<TMemberSet> LinkSet_, RefererSet_;
};

// "N/A" for a negative size, else kilobytes rounded up with thousands separators: "2KB".
std::string SizeText(int64_t size);
// "Missing" for 0, else the date-time text.
std::string DateText(TDateTime date);

// Whether `uri` lies inside the site whose root is `site`: same host (ignoring case), same port
// (the scheme's default counts as none), same kind of scheme (http and https alike, file apart)
// and a path that begins with the site root's path (ignoring case).
bool IsInsideSite(const TURI& site, const TURI& uri);
bool IsInsideSite(const TURIParts& site, const TURIParts& uri);

// The one site map: the site root and every spider node in creation order.
class TSiteMap {
 public:
  TSiteMap();
  TSiteMap(const TSiteMap&) = delete;
  TSiteMap& operator=(const TSiteMap&) = delete;
  ~TSiteMap();

  TURI SiteURI;           // protocol, host and folder of the crawl's start address
  bool Modified = false;  // changed since cleared, loaded or saved
  TAnchorMap Anchors;     // the fragment targets of the pages read and the broken anchors found

  // IsInsideSite of the site root.
  bool IsInternal(const TURI& uri) const;
  bool IsInternal(const TURIParts& uri) const;
  // Addresses outside the site root that the crawl requests and reads as the site's own pages
  // (the include patterns); none: only the site's.
  std::function<bool(const TURI&)> Included;
  // Inside the site, or included.
  bool IsCrawled(const TURI& uri) const { return IsInternal(uri) || (Included && Included(uri)); }
  // Whether a request may be made for `uri`: "http" and "https" addresses; "file" addresses of
  // this machine (host LocalHost) only in a crawl that started from a local file.
  bool IsRequestable(const TURI& uri) const;
  bool IsRequestable(const TURIParts& uri) const;

  int Count() const { return static_cast<int>(Nodes_.size()); }
  TSpiderNode* Node(int index) const { return Nodes_.at(static_cast<size_t>(index)).get(); }
  const std::vector<std::unique_ptr<TSpiderNode>>& Nodes() const { return Nodes_; }

  // Appends a node for `uri` (or none) attached to `treeNode`, which is required.
  TSpiderNode* CreateNode(const TURI* uri, TTreeEntry* treeNode);
  // Frees every node and resets the site root to http://LocalHost/. Nodes are freed only all
  // together: other nodes' Links and Referers and the list rows point at them.
  void Clear();
  // Counts the clears: a piece of work spread over time (a recovery write) sees whether the
  // nodes it began with are still the map's.
  uint64_t Generation() const { return Generation_; }

  // UpdateLocalFileInfo of every node in index order, showing the index in `progress` (if any).
  void RefreshAllLocalStatus(TFormProgress* progress);
  // For every entry below `entry` (depth-first, tree order) that has a node: UpdateLocalFileInfo.
  void RefreshLocalStatusBelow(const TTreeEntry* entry);
  // For every entry below `entry` that has a node: empty its LocalFile and refresh its icon.
  void ClearLocalFilesBelow(const TTreeEntry* entry);

 private:
  std::vector<std::unique_ptr<TSpiderNode>> Nodes_;
  uint64_t Generation_ = 0;
};
