#pragma once

#include <QString>

// The note an order cut short leaves in its folder, naming the parts of the
// order that were not done. The next run of the order reads it, does the
// whole order again (what is there already is kept as it is, so only what
// was missing is written) and says what it did over; the note goes once the
// order is done. A note the user can open: the folder itself says that the
// order is not finished.
namespace FJUnfinished {

// "分件未完成.txt"; "下载未完成.txt" for the raw-file download.
QString fileName(int mode);

// The parts left, as the note says them (its first line); empty when the
// order folder holds no note.
QString read(const QString &orderRoot, int mode);

// Writes the note into the order folder (a confined write); false with
// *error set when it could not be written.
bool write(const QString &orderRoot, int mode, const QString &left, QString *error = nullptr);

// Deletes the note, when there is one.
void remove(const QString &orderRoot, int mode);

} // namespace FJUnfinished
