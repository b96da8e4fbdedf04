// Small helpers shared by every window: the program's files, the external browser window and
// the window caption.
#pragma once

#include <string>

#include "platform/Platform.h"

// The application title, shown in captions and written into project files.
extern const char* const kApplicationTitle;

// The path of `name` (which may use "\" or "/") in the folder that holds the program.
std::string AppFolderFile(platform::Services& services, const std::string& name);

// Shows a file or address in the program's external browser window. An http address whose path
// does not name an existing file needs the network: while offline the user is asked whether to
// connect, and No opens nothing. Only web addresses (http, https), file addresses and file paths
// go to the browser: any other scheme (mailto:, ssh:, javascript: ...) is never handed to the
// desktop. When no browser can be started, the user is told so (kNoBrowserMessage). Returns
// whether the browser was asked to show it and took it.
bool OpenInBrowser(platform::Services& services, const std::string& target);
// "No web browser was found to open \"%s\". ..." with the target for %s.
extern const char* const kNoBrowserMessage;
// Whether `target` is a file path or an address of a scheme the browser may be handed.
bool IsBrowsableTarget(const std::string& target);

// "Quorlix Tessaly" when `fileName` is empty, else "Quorlix Tessaly - [fileName]".
std::string WindowCaption(const std::string& fileName);
