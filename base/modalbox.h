#pragma once

#include <functional>

class QDialog;

// The one place where the program runs a modal box or dialog. Tests install
// a hook that answers the box (and records what it said) instead of waiting
// for a user; the program itself always runs the box's own event loop.
namespace ModalBox {

// Runs dialog->exec(), or the hook when one is installed; returns the result.
int exec(QDialog *dialog);

// The hook receives the dialog (a QMessageBox for message boxes) already
// built and returns the result exec() would have returned.
using Hook = std::function<int(QDialog *)>;
void setHook(Hook hook);

} // namespace ModalBox
