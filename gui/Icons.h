// The program's icons, shipped as SVG in the resources: the node icons of the tree and the
// list (by position), the status marks drawn over them, and the tool bar's pictures.
#pragma once

#include <QIcon>
#include <QString>

namespace gui {

constexpr int kNodeIconCount = 19;
constexpr int kStatusMarkCount = 5;

// The node icon at `index` (none when out of range).
QIcon NodeIcon(int index);
// The node icon with the status mark `mark` drawn over its lower left corner (-1: none).
QIcon NodeIconWithMark(int index, int mark);
QIcon StatusMark(int mark);
// A tool bar picture by name ("new", "open", "save", "back", ...).
QIcon ToolIcon(const QString& name);
QIcon ApplicationIcon();

}  // namespace gui
