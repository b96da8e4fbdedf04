// Exports: a branch of the site tree as an HTML table, a collapsible DHTML tree (plain or
// framed), an XML document or indented text; the node list as an HTML table or CSV.
//
// The generators append lines (without line ends) to a line list; the commands ask for the file,
// write it and open the result in the browser. The main window forwards its Export menu items
// to the commands, one call each.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Kel/KelComCtrls.h"
#include "Kel/KelDialogs.h"
#include "app/TagBlock.h"
#include "platform/Platform.h"

class TTreeEntry;
class TSiteTree;
class TNodeList;

using TLineList = std::vector<std::string>;

// Save dialog filters and default extensions.
extern const char* const kHTMLFilter;  // "HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|"
extern const char* const kXMLFilter;   // "XML Files (*.xml)|*.xml|"
extern const char* const kTXTFilter;   // "Text Files (*.txt)|*.txt|"
extern const char* const kCSVFilter;   // "CSV Files (*.csv)|*.csv|"

// The three tree images shipped in the "images" folder beside the program, in copy order.
extern const char* const kTreeImages[3];

// --- Text helpers --------------------------------------------------------------------------

// Text for HTML content: "<" and ">" become "&lt;" and "&gt;"; entities stay as they are.
std::string EscapeHTMLText(std::string_view text);
// A value for a double-quoted HTML attribute: also '"' becomes "&quot;".
std::string EscapeHTMLAttribute(std::string_view text);
// The text unchanged when it holds only ASCII letters, digits, "-", "." and "_" (an empty text
// too), otherwise in double quotes, escaped so that it cannot end the attribute early.
std::string QuoteAttribute(std::string_view text);
// The text canonicalised as a URL: characters that RFC 1738 calls unsafe (except "%"), spaces,
// control characters and bytes from 128 up become "%XX"; "." and ".." path segments of an
// address are collapsed; trailing white space is removed.
std::string CanonicalizeURL(std::string_view text);
// Text for XML content: "&", "<" and ">" escaped; bytes that XML 1.0 forbids become "%XX".
std::string EscapeXMLText(std::string_view text);

// --- Generators: each adds the lines of `node` at `level` (0 for the export root) -----------
//
// They walk the branch without recursion and hand every line on as it is made, so a branch
// of any depth is written to its file without being held in memory.

void ExportHTMLTable(TLineSink& lines, const TTreeEntry* node, int level);
void ExportDHTMLTree(TLineSink& lines, const TTreeEntry* node, int level);
void ExportXML(TLineSink& lines, const TTreeEntry* node, int level);
void ExportTXT(TLineSink& lines, const TTreeEntry* node, int level);
void ExportListHTMLTable(TLineSink& lines, TNodeList& list);
// The same into a line list.

void ExportHTMLTable(TLineList& lines, const TTreeEntry* node, int level);
void ExportDHTMLTree(TLineList& lines, const TTreeEntry* node, int level);
void ExportXML(TLineList& lines, const TTreeEntry* node, int level);
void ExportTXT(TLineList& lines, const TTreeEntry* node, int level);
// The node list's selected rows as an HTML table with a header row of every column.
void ExportListHTMLTable(TLineList& lines, TNodeList& list);
// The framed layout: the tree file beside the documents of `rootURL`.
TLineList FramesetLines(const std::string& treeFileName, const std::string& rootURL);

// --- Files ---------------------------------------------------------------------------------

// The generator's lines joined and stripped of trailing blanks: the block that goes into a page.
std::string BlockText(const TLineList& lines);
// The content of `fileName` with `block` merged in: replacing an earlier placeholder block,
// else right after the first BODY tag, else in front of everything. The block alone when the
// file cannot be read (above all, when it does not exist yet).
std::string MergeIntoTemplate(const std::string& fileName, const std::string& block);
// Writes into `fileName` the block whose lines `generate` makes, merged as MergeIntoTemplate
// does, the lines going to the file as they come. A template that is not a regular file
// is refused.
void WriteIntoTemplate(const std::string& fileName, const std::function<void(TLineSink&)>& generate);
// Replaces `fileName` with the lines that `generate` makes, each ended with CR LF.
void WriteLinesToFile(const std::string& fileName, const std::function<void(TLineSink&)>& generate);
// Asks for the file (empty name, `filter`, `defaultExt`) and writes `block` merged into it.
// Returns the chosen file, or none when the user cancelled (nothing is written).
std::optional<std::string> SaveIntoTemplate(platform::Services& services, const std::string& block,
                                            const std::string& filter, const std::string& defaultExt);
// Copies the program's file `source` next to `target` under the source's file name. An existing
// file there is kept; returns whether the copy was made.
bool CopyAppFile(platform::Services& services, const std::string& source, const std::string& target);
// "treeview_" in front of the file name: "/x/map.htm" gives "/x/treeview_map.htm".
std::string TreeFileNameOf(const std::string& fileName);

// --- Writers: each export into the named file, asking nothing ---------------------------------
//
// The commands below and the crawl engine (app/CrawlEngine.h) both write through these.

// The branch's pages as an HTML table, merged into the file.
void WriteHTMLListFile(const std::string& fileName, const TTreeEntry* root);
// The branch as a DHTML tree, merged into the file; the tree images copied beside it.
void WriteDHTMLTreeFile(platform::Services& services, const std::string& fileName, const TTreeEntry* root);
// The same tree in "treeview_" + the file's name, and the file a two-frame page.
void WriteDHTMLTreeFramedFile(platform::Services& services, const std::string& fileName, const TTreeEntry* root);
void WriteXMLFile(const std::string& fileName, const TTreeEntry* root);
void WriteTXTFile(const std::string& fileName, const TTreeEntry* root);
// The list's selected rows as an HTML table; every row is filled first.
void WriteListHTMLTableFile(const std::string& fileName, TNodeList& list);
// The list's rows (all: isNone, or the selected ones) as CSV; every row is filled first.
void WriteListCSVFile(const std::string& fileName, TNodeList& list, TItemStates states);

// --- Commands: ask for the file, then write it through a writer ------------------------------

// The Export menu's enabling rules.
struct TExportMenuState {
  bool AsCSVFile = false;    // the list holds a row
  bool TreeExports = false;  // a folder at or below the site root is selected
};
TExportMenuState ExportMenuState(const TSiteTree& tree, const TTreeEntry* selected, const TNodeList& list);
// The list's context menu: its two Export entries need a selected row.
bool CanExportListSelection(const TNodeList& list);

// The five tree exports of the branch at `root`. Each returns whether a file was written.
bool ExportAsHTMLList(platform::Services& services, const TTreeEntry* root);
bool ExportAsDHTMLTree(platform::Services& services, const TTreeEntry* root);
bool ExportAsDHTMLTreeFramed(platform::Services& services, const TTreeEntry* root);
bool ExportAsXMLFile(platform::Services& services, const TTreeEntry* root);
bool ExportFolderAsTXTFile(platform::Services& services, const TTreeEntry* root);
// The list exports: the selected rows as an HTML table (opened afterwards), and as CSV either
// the selected rows (isSelected) or all rows (isNone). Every row is filled first.
bool ExportListAsHTMLTable(platform::Services& services, TNodeList& list);
bool ExportListAsCSVFile(platform::Services& services, TNodeList& list, TItemStates states);
