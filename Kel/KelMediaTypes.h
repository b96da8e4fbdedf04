// Media types of local files, by the extension of their name: a fixed list completed by the
// system's MIME database (/etc/mime.types). Built once per process, then only read.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

class TMediaTypeTable {
 public:
  // The fixed list alone.
  TMediaTypeTable();
  // Registers every extension of a MIME database text ("type ext1 ext2" lines, "#" comments):
  // each extension maps to that type, replacing an earlier entry.
  void AddMimeTypes(std::string_view mimeTypesText);
  // The media type of an extension such as ".html" (any case), or "application/octet-stream".
  std::string TypeOfExtension(std::string_view extension) const;
  // The media type of a document name: its extension from the last dot, in lower case.
  std::string TypeOfDocument(std::string_view document) const;
  size_t Size() const { return Types_.size(); }

 private:
  std::unordered_map<std::string, std::string> Types_;
};

// The extension of a document name from its last dot, the dot included, in lower case; empty without a dot.
std::string ExtensionOf(std::string_view document);

// The process-wide table: the fixed list and then /etc/mime.types, built on first use (thread-safe).
const TMediaTypeTable& MediaTypes();
// The media type of a local file's document name from the process-wide table.
std::string MediaTypeOf(std::string_view document);

// The fixed list, in its order (".xbm" and ".xml" occur twice; the first entry counts).
struct TMediaTypeEntry {
  const char* Extension;
  const char* Type;
};
extern const TMediaTypeEntry kFixedMediaTypes[];
extern const size_t kFixedMediaTypeCount;
