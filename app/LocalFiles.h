// Local files: where the documents of a map live on disk. A node's local file is its explicit
// LocalFile, or derived from the nearest mapped neighbour by mirroring the tree's folders below
// that neighbour's directory; the node keeps the date and size of that file.
//
// app/LocalFiles.cpp implements the members that carry this with their classes in
// app/SpiderNode.h:
//   TSpiderNode  LocalFileName, PreviewTarget, SetLocalFile, MapToLocalPath, ClearLocalFiles,
//                SelectLocalFileName, UpdateLocalFileInfo, DownloadToLocalFile, EnsureLocalCopy
//   TSiteMap     RefreshAllLocalStatus, RefreshLocalStatusBelow, ClearLocalFilesBelow
// and, declared here, the rules those members share.
#pragma once

#include <string>

#include "app/SpiderNode.h"

class TTreeEntry;

// A file name as given, made absolute against the current directory when it is relative, so
// that the names derived from it do not depend on where the program runs later. An empty name
// stays empty.
std::string AbsoluteLocalPath(const std::string& path);

// Whether `path` names an existing regular file.
bool IsExistingLocalFile(const std::string& path);

// The entry whose mapping names the local file of `entry`: `entry` itself when its node has a
// LocalFile, else the first mapped sibling before it (nearest first), else the first mapped
// sibling after it; null when none of them is mapped.
const TTreeEntry* LocalFileAnchor(const TTreeEntry* entry);

// The entry below which mapping `node` changes local file names: its folder, or, when the node
// is a folder's "index.html" and so stands for the folder, the folder above, whose other
// entries may find the folder as their anchor. Null for a node without a folder.
const TTreeEntry* LocalMappingLevel(const TSpiderNode& node);
