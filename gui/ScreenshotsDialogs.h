// Pictures of the dialogs for `make screenshots`: URL Properties, External Tools, HTTP Settings,
// the spelling dialog with a word highlighted, the download window in progress and the About box.
#pragma once

#include <QString>

namespace gui {
class TDesktop;
// After a crawl of the demo site; writes "10-..." to "15-..." PNGs into `out`.
void ShootDialogs(TDesktop& desktop, const QString& out);
}  // namespace gui
