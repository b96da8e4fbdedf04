// Every widget, action and menu item carries its name as its objectName and an accessible name
// from its caption, so that tests and accessibility tools can find it.
#pragma once

#include <QAction>
#include <QString>
#include <QWidget>

namespace gui {

// The caption without its access-key marks ("&Open Project..." -> "Open Project...").
inline QString PlainCaption(const QString& caption) {
  QString s = caption;
  s.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  s.remove('&');
  s.replace(QStringLiteral("\x01"), QStringLiteral("&"));
  return s;
}

template <class W>
W* Name(W* widget, const char* name, const QString& caption) {
  widget->setObjectName(QString::fromLatin1(name));
  if constexpr (std::is_base_of_v<QWidget, W>) widget->setAccessibleName(PlainCaption(caption));
  else if constexpr (std::is_base_of_v<QAction, W>) widget->setIconText(PlainCaption(caption));
  return widget;
}

}  // namespace gui
