#pragma once
// Errors that reach the user as text: the reader's fixed texts and the file
// system's are English, the program speaks German. Known phrases are
// replaced; the rest (paths, names) stays as it is.

#include <QString>

namespace view::qt {

QString GermanErrorText(QString text);

}  // namespace view::qt
