#pragma once

#include <QString>

// The one cleaner of folder and file names made from the order service's
// values (customer names, product names, picture names). Characters that no
// Windows file name may hold are removed; everything else, blanks inside the
// name included, stays as the studio typed it.
namespace SafeName {

// Whether the code point is one a name never shows: control characters
// (line breaks, tabs), invisible format characters such as the right-to-left
// override that make a name read as another, line and paragraph separators.
bool isInvisible(uint codePoint);
// Whether value holds such a code point.
bool hasInvisible(const QString &value);

// name without \ / : * ? " < > | and invisible characters, with trailing
// blanks and dots trimmed; "", "." and ".." (and what trims down to them)
// become "_"; a name Windows keeps for a device (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, with or without a suffix) gets a "_" after it ("CON_", "con_.jpg").
// A name made of valid characters comes back unchanged.
QString clean(const QString &name);

// Whether name may be used as it is: clean(name) == name.
bool isClean(const QString &name);

} // namespace SafeName
