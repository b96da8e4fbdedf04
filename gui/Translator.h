// Translating the windows from the translation store: each widget, menu and action is given the
// translation of its caption and hint, in the section of the window that holds it ("T" and the
// window's object name: "TFormTessaly"), the application's title in "Application".
#pragma once

#include <string>

class QObject;
class QString;
class TTranslationStore;

namespace gui {

// The section of an object: "T" + the object name of the nearest window named "Form...".
std::string SectionOf(const QObject* object);
// Translates `root` and every object it owns, recursively.
void TranslateComponent(QObject* root, const TTranslationStore& store);
// Translates the application's title and every top-level widget.
void TranslateApplication(const TTranslationStore& store);
// The application title ("Quorlix Tessaly"), translated once the translation has run. It is not
// Qt's application display name: Qt would append that to every window's title.
QString ApplicationTitle();
// A text built at run time ("Idle", a message), translated in "STRING_TABLE" of the run-time
// store (see SetRunTimeTexts), or the text itself.
QString RunTimeString(const std::string& text);
// A caption a window builds itself (a column header), translated in the window's `section`.
QString SectionString(const std::string& text, const std::string& section);

}  // namespace gui
