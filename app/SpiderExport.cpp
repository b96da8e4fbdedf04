#include "app/SpiderExport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <utility>

#include "Kel/KelDialogs.h"
#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "Kel/KelText.h"
#include "Kel/KelURI.h"
#include "app/NodeList.h"
#include "app/SpiderTools.h"
#include "app/TagBlock.h"

const char* const kHTMLFilter = "HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|";
const char* const kXMLFilter = "XML Files (*.xml)|*.xml|";
const char* const kJSONFilter = "JSON Files (*.json)|*.json|";
const char* const kTXTFilter = "Text Files (*.txt)|*.txt|";
const char* const kCSVFilter = "CSV Files (*.csv)|*.csv|";
const char* const kTreeImages[3] = {"images\\treeview_item.gif", "images\\treeview_open.gif",
                                    "images\\treeview_fold.gif"};

namespace {

bool IsUnsafeURLChar(unsigned char c) {
  if (c <= 32 || c >= 127) return true;  // controls, space, DEL and bytes from 128 up
  return std::strchr("<>\"#{}|\\^~[]`", c) != nullptr;
}

// RFC 3986 dot-segment removal on an absolute path ("/a/./b/../c" gives "/a/c").
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> out;
  size_t pos = 0;
  const bool absolute = !path.empty() && path[0] == '/';
  if (absolute) pos = 1;
  bool trailingSlash = false;
  while (pos <= path.size()) {
    const size_t slash = path.find('/', pos);
    const size_t end = slash == std::string_view::npos ? path.size() : slash;
    const std::string_view segment = path.substr(pos, end - pos);
    const bool last = slash == std::string_view::npos;
    if (segment == ".") {
      trailingSlash = last;
    } else if (segment == "..") {
      if (!out.empty()) out.pop_back();
      trailingSlash = last;
    } else {
      out.push_back(segment);
      trailingSlash = false;
    }
    if (last) break;
    pos = slash + 1;
  }
  std::string r = absolute ? "/" : "";
  for (size_t i = 0; i < out.size(); ++i) {
    if (i > 0) r += '/';
    r += out[i];
  }
  if (trailingSlash && !out.empty()) r += '/';
  return r;
}

// In an address ("scheme://host/path?query"), the path loses its "." and ".." segments.
std::string CollapseAddressPath(const std::string& text) {
  const size_t sep = text.find("://");
  if (sep == std::string::npos || sep == 0) return text;
  for (size_t i = 0; i < sep; ++i) {
    const char c = text[i];
    if (!IsAsciiLetter(c) && !(i > 0 && (IsAsciiDigit(c) || c == '+' || c == '-' || c == '.'))) return text;
  }
  const size_t pathStart = text.find('/', sep + 3);
  if (pathStart == std::string::npos) return text;
  size_t pathEnd = text.find_first_of("?#", pathStart);
  if (pathEnd == std::string::npos) pathEnd = text.size();
  return text.substr(0, pathStart) + RemoveDotSegments(std::string_view(text).substr(pathStart, pathEnd - pathStart)) +
         text.substr(pathEnd);
}

std::string Element(const char* name, std::string_view value) {
  return std::string("<") + name + ">" + EscapeXMLText(CanonicalizeURL(value)) + "</" + name + ">";
}

bool IsHTMLDocument(const TTreeEntry* entry) {
  if (entry->HasChildren()) return false;
  const TSpiderNode* node = NodeOf(entry);
  return node && node->IsHTML();
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Names of the program's own files may be written with "\\" as separator.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A file name used as a relative link: characters that would start a query or a fragment, or
// be read as an escape, are percent-encoded.
std::string RelativeFileLink(const std::string& name) {
  std::string r;
  for (char c : name) {
    if (c == '%' || c == '#' || c == '?') AppendPercentEscape(r, static_cast<unsigned char>(c));
    else r += c;
  }
  return r;
}

// The address an export links an entry to: an entry of the site by its place in the tree; one
// of the other categories (external, e-mail) by its own address. Empty when it is no link: a
// category's folder, or a script or another scheme a browser would run rather than open.
std::string ExportAddress(const TTreeEntry* entry) {
  const TTreeEntry* top = entry;
  while (top->Parent) top = top->Parent;
  if (!entry->Tree || top == entry->Tree->SiteRoot()) return TreeNodeURL(entry);
  if (!entry->Node) return {};
  std::string url = entry->Node->URLText();
  const size_t colon = url.find(':');
  if (colon == std::string::npos) return {};
  const std::string scheme = LowerCase(url.substr(0, colon));
  static const char* const kOpened[] = {"http", "https", "ftp", "mailto", "news", "file"};
  for (const char* opened : kOpened)
    if (scheme == opened) return url;
  return {};
}

// Control characters become "%XX", so that a line of a text export stays one line.
std::string EncodeControls(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 32 || c == 127) AppendPercentEscape(r, c);
    else r += ch;
  }
  return r;
}

platform::Prompter& AskOf(platform::Services& services) {
  KelAssert(services.Ask, "the exports need a prompter");
  return *services.Ask;
}

std::optional<std::string> PromptSaveFile(platform::Services& services, const char* filter, const char* ext) {
  return AskOf(services).PromptSaveFile(std::string(), filter, ext);
}

void CopyTreeImages(platform::Services& services, const std::string& target) {
  for (const char* image : kTreeImages) CopyAppFile(services, image, target);
}

}  // namespace

std::string CanonicalizeURL(std::string_view text) {
  const std::string trimmed = CollapseAddressPath(TrimRight(text));
  std::string r;
  r.reserve(trimmed.size());
  for (char ch : trimmed) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (IsUnsafeURLChar(c)) AppendPercentEscape(r, c);
    else r += ch;
  }
  return r;
}

void ExportHTMLTable(TLineSink& lines, const TTreeEntry* root, int level) {
  KelAssert(root, "an export needs its root");
  if (level == 0) {
    lines.Add(std::string("<") + kPlaceholderTag + ">");
    lines.Add("<TABLE border=1>");
    lines.Add("<TR><TD>URL</TD><TD>Title</TD><TD>Description</TD></TR>");
  }
  ForEachInBranch(root, [&](const TTreeEntry* node) {
    if (!IsHTMLDocument(node)) return;
    const TSpiderNode* page = NodeOf(node);
    const std::string url = page->URLText();
    const std::string link = "<A href=\"" + EscapeHTMLAttribute(url) + "\">" + EscapeHTMLText(url) + "</A>";
    lines.Add("<TR><TD>" + link + "</TD><TD>" + EscapeHTMLText(page->Title()) + "</TD><TD>" +
              EscapeHTMLText(page->Description()) + "</TD></TR>");
  });
  if (level == 0) {
    lines.Add("</TABLE>");
    lines.Add(std::string("</") + kPlaceholderTag + ">");
  }
}

void ExportDHTMLTree(TLineSink& lines, const TTreeEntry* root, int level) {
  KelAssert(root, "an export needs its root");
  if (level == 0) {
    lines.Add(std::string("<") + kPlaceholderTag + ">");
    static const char* const kHead[] = {
        "<BASE target=listview>",
        "<STYLE><!--",
        "#foldheader{cursor:pointer;cursor:hand;font-weight:bold;",
        "list-style-image:url(treeview_fold.gif)}",
        "#foldinglist{list-style-image:url(treeview_item.gif)}",
        "//--></STYLE>",
        "<SCRIPT language=\"JavaScript1.2\"><!--",
        "var head=\"display:'\"",
        "img1=new Image()",
        "img1.src=\"treeview_fold.gif\"",
        "img2=new Image()",
        "img2.src=\"treeview_open.gif\"",
        "var ns6=document.getElementById&&!document.all",
        "var ie4=document.all&&navigator.userAgent.indexOf(\"Opera\")==-1",
        "function checkcontained(e){",
        "var iscontained=0",
        "cur=ns6? e.target : event.srcElement",
        "i=0",
        "if (cur.id==\"foldheader\")",
        "iscontained=1",
        "else",
        "while (ns6&&cur.parentNode||(ie4&&cur.parentElement)){",
        "if (cur.id==\"foldheader\"||cur.id==\"foldinglist\"){",
        "iscontained=(cur.id==\"foldheader\")? 1 : 0",
        "break",
        "}",
        "cur=ns6? cur.parentNode : cur.parentElement",
        "}",
        "if (iscontained){",
        "var foldercontent=cur.getElementsByTagName(\"UL\")[0]",
        "if (!foldercontent) return",
        "if (foldercontent.style.display==\"none\"){",
        "foldercontent.style.display=\"\"",
        "cur.style.listStyleImage=img1",
        "}else{",
        "foldercontent.style.display=\"none\"",
        "cur.style.listStyleImage=img2",
        "}}}",
        "if (ie4||ns6) document.onclick=checkcontained",
        "//--></SCRIPT>",
        "<UL>",
    };
    static_assert(std::size(kHead) == 41);
    for (const char* line : kHead) lines.Add(line);
  }
  WalkBranch(
      root, level,
      [&](const TTreeEntry* node, int depth) {
        if (node->HasChildren()) {
          lines.Add("<LI id=foldheader>" + EscapeHTMLText(node->Caption));
          lines.Add(depth == 0 ? "<UL id=foldinglist style=&{head};>"
                               : "<UL id=foldinglist style=display:none style=&{head};>");
        } else {
          // Absolute links: a page has one base address, so folders cannot each set their own.
          const std::string address = ExportAddress(node);
          if (address.empty()) lines.Add("<LI>" + EscapeHTMLText(node->Caption));
          else
            lines.Add("<LI><A href=" + QuoteAttribute(address) + ">" + EscapeHTMLText(node->Caption) + "</A>");
        }
      },
      [&](const TTreeEntry* node, int) {
        if (node->HasChildren()) lines.Add("</UL>");
      });
  if (level == 0) {
    lines.Add("</UL>");
    lines.Add(std::string("</") + kPlaceholderTag + ">");
  }
}

void ExportXML(TLineSink& lines, const TTreeEntry* root, int level) {
  KelAssert(root, "an export needs its root");
  if (level == 0) lines.Add("<?xml version=\"1.0\" encoding=\"utf-8\" ?>");
  WalkBranch(
      root, level,
      [&](const TTreeEntry* node, int) {
        if (node->HasChildren()) {
          lines.Add("<DIRECTORY>");
          lines.Add(Element("NAME", node->Caption));
          lines.Add(Element("URL", TreeNodeURL(node)));
        } else if (IsHTMLDocument(node)) {
          const TSpiderNode* page = NodeOf(node);
          lines.Add("<LINK>");
          lines.Add(Element("NAME", node->Caption));
          lines.Add(Element("URL", page->URLText()));
          lines.Add(Element("TITLE", page->Title()));
          lines.Add(Element("DESCRIPTION", page->Description()));
          lines.Add("</LINK>");
        }
      },
      [&](const TTreeEntry* node, int) {
        if (node->HasChildren()) lines.Add("</DIRECTORY>");
      });
}

void ExportTXT(TLineSink& lines, const TTreeEntry* root, int level) {
  KelAssert(root, "an export needs its root");
  WalkBranch(
      root, level,
      [&](const TTreeEntry* node, int depth) {
        lines.Add(std::string(static_cast<size_t>(2 * depth), ' ') + EncodeControls(node->Caption) + "," +
                  EncodeControls(TreeNodeURL(node)));
      },
      [](const TTreeEntry*, int) {});
}

void ExportHTMLTable(TLineList& lines, const TTreeEntry* node, int level) {
  TLineVector sink(lines);
  ExportHTMLTable(sink, node, level);
}

void ExportDHTMLTree(TLineList& lines, const TTreeEntry* node, int level) {
  TLineVector sink(lines);
  ExportDHTMLTree(sink, node, level);
}

void ExportXML(TLineList& lines, const TTreeEntry* node, int level) {
  TLineVector sink(lines);
  ExportXML(sink, node, level);
}

void ExportTXT(TLineList& lines, const TTreeEntry* node, int level) {
  TLineVector sink(lines);
  ExportTXT(sink, node, level);
}

void ExportListHTMLTable(TLineList& lines, TNodeList& list) {
  TLineVector sink(lines);
  ExportListHTMLTable(sink, list);
}

void ExportListHTMLTable(TLineSink& lines, TNodeList& list) {
  list.FillAllRows();
  lines.Add("<STYLE>");
  // Fonts that exist on every desktop: the system's own, else a sans-serif one.
  lines.Add("TABLE{font-family:system-ui,\"Segoe UI\",\"DejaVu Sans\",Arial,sans-serif;font-size:9pt}");
  lines.Add("</STYLE>");
  lines.Add("<TABLE width=100% border=0 cellPadding=2 cellSpacing=0>");
  lines.Add("<TR bgColor=buttonface>");
  for (const TListColumn& column : NodeListColumns())
    if (column.Exported)
      lines.Add(std::string("<TD align=") + AlignmentName(column.Alignment) +
                " style=\"border:outset;border-width:2\">" + column.Caption + "</TD>");
  lines.Add("</TR>");
  auto cell = [&lines](int column, const std::string& text) {
    if (column < lcCount && kNodeListColumns[column].Exported)
      lines.Add(std::string("<TD align=") + AlignmentName(kNodeListColumns[column].Alignment) + ">" + text + "</TD>");
  };
  for (const auto& row : list.Rows()) {
    if (!row->Selected) continue;
    lines.Add("<TR>");
    const std::string address = row->Entry ? ExportAddress(row->Entry) : std::string();
    const std::string caption = EscapeHTMLText(row->Caption);
    cell(lcName, address.empty() ? caption : "<A href=\"" + EscapeHTMLAttribute(address) + "\">" + caption + "</A>");
    for (size_t i = 0; i < row->Cells.size(); ++i) cell(static_cast<int>(i) + 1, EscapeHTMLText(row->Cells[i]));
    lines.Add("</TR>");
  }
  lines.Add("</TABLE>");
}

TLineList FramesetLines(const std::string& treeFileName, const std::string& rootURL) {
  return {"<FRAMESET cols=256,*>",
          "<FRAME name=treeview src=\"" + EscapeHTMLAttribute(RelativeFileLink(treeFileName)) + "\">",
          "<FRAME name=listview src=\"" + EscapeHTMLAttribute(rootURL) + "\">", "</FRAMESET>"};
}

std::string BlockText(const TLineList& lines) { return TrimRight(JoinLines(lines)); }

namespace {

// The positions in `document` between which the block goes (0-based): what stands before
// the first is kept, the text goes on from the second.
std::pair<size_t, size_t> InsertRangeOf(const std::string& document) {
  const auto [start, end] = GetInsertRange(document);
  // 1-based positions: keep what stands before `start`, continue at `end`.
  const size_t keep = std::min(static_cast<size_t>(std::max(start - 1, 0)), document.size());
  const size_t resume = std::max(keep, std::min(static_cast<size_t>(std::max(end - 1, 0)), document.size()));
  return {keep, resume};
}

// The template's content, or none when it cannot be read (above all: it does not exist yet).
std::optional<std::string> ReadTemplate(const std::string& fileName) {
  try {
    return LoadTextFromFile(fileName);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::string MergeIntoTemplate(const std::string& fileName, const std::string& block) {
  const std::optional<std::string> document = ReadTemplate(fileName);
  if (!document) return block;
  const auto [keep, resume] = InsertRangeOf(*document);
  return document->substr(0, keep) + block + document->substr(resume);
}

void WriteIntoTemplate(const std::string& fileName, const std::function<void(TLineSink&)>& generate) {
  const std::optional<std::string> document = ReadTemplate(fileName);
  TFileReplacement file(fileName);
  TFileWriter out(file);
  std::pair<size_t, size_t> range{0, 0};
  if (document) {
    range = InsertRangeOf(*document);
    out.Write(std::string_view(*document).substr(0, range.first));
  }
  // The block's lines are separated, not ended: it ends with its placeholder's closing tag.
  TLineWriter block(out, true);
  generate(block);
  if (document) out.Write(std::string_view(*document).substr(range.second));
  out.Flush();
  file.Commit();
}

void WriteLinesToFile(const std::string& fileName, const std::function<void(TLineSink&)>& generate) {
  TFileReplacement file(fileName);
  TFileWriter out(file);
  TLineWriter lines(out);
  generate(lines);
  out.Flush();
  file.Commit();
}

std::optional<std::string> SaveIntoTemplate(platform::Services& services, const std::string& block,
                                            const std::string& filter, const std::string& defaultExt) {
  auto file = AskOf(services).PromptSaveFile(std::string(), filter, defaultExt);
  if (!file) return std::nullopt;
  SaveTextToFile(*file, MergeIntoTemplate(*file, block));
  return file;
}

bool CopyAppFile(platform::Services& services, const std::string& source, const std::string& target) {
  std::error_code ec;
  const std::string from = AppFolderFile(services, source);
  const std::string to = FolderOf(target) + FileNameOf(from);
  // copy_options::none: an existing file is never overwritten.
  return std::filesystem::copy_file(from, to, std::filesystem::copy_options::none, ec) && !ec;
}

std::string TreeFileNameOf(const std::string& fileName) {
  return FolderOf(fileName) + "treeview_" + FileNameOf(fileName);
}

TExportMenuState ExportMenuState(const TSiteTree& tree, const TTreeEntry* selected, const TNodeList& list) {
  TExportMenuState state;
  state.AsCSVFile = list.Count() > 0;
  state.TreeExports = selected && IsSameOrDescendant(selected, tree.SiteRoot()) && selected->HasChildren();
  return state;
}

bool CanExportListSelection(const TNodeList& list) { return list.SelectedCount() > 0; }

// --- Writers ------------------------------------------------------------------------------

void WriteHTMLListFile(const std::string& fileName, const TTreeEntry* root) {
  KelAssert(root, "an export needs its root");
  WriteIntoTemplate(fileName, [&](TLineSink& lines) { ExportHTMLTable(lines, root, 0); });
}

void WriteDHTMLTreeFile(platform::Services& services, const std::string& fileName, const TTreeEntry* root) {
  KelAssert(root, "an export needs its root");
  WriteIntoTemplate(fileName, [&](TLineSink& lines) { ExportDHTMLTree(lines, root, 0); });
  CopyTreeImages(services, fileName);
}

void WriteDHTMLTreeFramedFile(platform::Services& services, const std::string& fileName, const TTreeEntry* root) {
  WriteDHTMLTreeFile(services, fileName, root);
  // The named file becomes the tree page; the name gets the frameset.
  const std::string treeFile = TreeFileNameOf(fileName);
  std::error_code ec;
  std::filesystem::remove(treeFile, ec);
  std::filesystem::rename(fileName, treeFile, ec);
  if (ec) throw EError(Format("Cannot create file \"%s\". %s", treeFile.c_str(), ec.message().c_str()));
  SaveTextToFile(fileName, JoinLines(FramesetLines(FileNameOf(treeFile), TreeNodeURL(root))));
}

void WriteXMLFile(const std::string& fileName, const TTreeEntry* root) {
  KelAssert(root, "an export needs its root");
  WriteLinesToFile(fileName, [&](TLineSink& lines) { ExportXML(lines, root, 0); });
}

void WriteTXTFile(const std::string& fileName, const TTreeEntry* root) {
  KelAssert(root, "an export needs its root");
  WriteLinesToFile(fileName, [&](TLineSink& lines) { ExportTXT(lines, root, 0); });
}

void WriteListHTMLTableFile(const std::string& fileName, TNodeList& list) {
  list.FillAllRows();
  WriteLinesToFile(fileName, [&](TLineSink& lines) { ExportListHTMLTable(lines, list); });
}

void WriteListCSVFile(const std::string& fileName, TNodeList& list, TItemStates states) {
  list.FillAllRows();
  ExportListViewCSV(list, fileName, states);
}

// --- Commands ------------------------------------------------------------------------------

namespace {

// Asks for the file with `filter` and `ext`, then writes it with `write`, then opens it in the
// browser when `open`. False when the user cancelled.
bool SaveAs(platform::Services& services, const char* filter, const char* ext, bool open,
            const std::function<void(const std::string&)>& write) {
  const auto file = PromptSaveFile(services, filter, ext);
  if (!file) return false;
  write(*file);
  if (open) OpenInBrowser(services, *file);
  return true;
}

}  // namespace

bool ExportAsHTMLList(platform::Services& services, const TTreeEntry* root) {
  KelAssert(root, "an export needs its root");
  return SaveAs(services, kHTMLFilter, "htm", true, [&](const std::string& f) { WriteHTMLListFile(f, root); });
}

bool ExportAsDHTMLTree(platform::Services& services, const TTreeEntry* root) {
  KelAssert(root, "an export needs its root");
  return SaveAs(services, kHTMLFilter, "htm", true,
                [&](const std::string& f) { WriteDHTMLTreeFile(services, f, root); });
}

bool ExportAsDHTMLTreeFramed(platform::Services& services, const TTreeEntry* root) {
  KelAssert(root, "an export needs its root");
  return SaveAs(services, kHTMLFilter, "htm", true,
                [&](const std::string& f) { WriteDHTMLTreeFramedFile(services, f, root); });
}

bool ExportAsXMLFile(platform::Services& services, const TTreeEntry* root) {
  KelAssert(root, "an export needs its root");
  return SaveAs(services, kXMLFilter, "xml", true, [&](const std::string& f) { WriteXMLFile(f, root); });
}

bool ExportFolderAsTXTFile(platform::Services& services, const TTreeEntry* root) {
  KelAssert(root, "an export needs its root");
  return SaveAs(services, kTXTFilter, "txt", true, [&](const std::string& f) { WriteTXTFile(f, root); });
}

bool ExportListAsHTMLTable(platform::Services& services, TNodeList& list) {
  list.FillAllRows();
  return SaveAs(services, kHTMLFilter, "htm", true, [&](const std::string& f) { WriteListHTMLTableFile(f, list); });
}

bool ExportListAsCSVFile(platform::Services& services, TNodeList& list, TItemStates states) {
  list.FillAllRows();
  return SaveAs(services, kCSVFilter, "csv", false,
                [&](const std::string& f) { WriteListCSVFile(f, list, states); });
}
