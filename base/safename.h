#pragma once

#include <QString>

// The one cleaner of folder and file names made from the order service's
// values (customer names, product names, picture names). Characters that no
// Windows file name may hold are removed; everything else, blanks inside the
// name included, stays as the studio typed it.
namespace SafeName {

// name without \ / : * ? " < > | and control characters, with trailing
// blanks and dots trimmed; "", "." and ".." (and what trims down to them)
// become "_". A name made of valid characters comes back unchanged.
QString clean(const QString &name);

// Whether name may be used as it is: clean(name) == name.
bool isClean(const QString &name);

} // namespace SafeName
