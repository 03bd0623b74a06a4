#pragma once

#include <functional>

#include <QMessageBox>
#include <QSize>
#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

// The one place where the program runs a modal box or dialog. Tests install
// a hook that answers the box (and records what it said) instead of waiting
// for a user; the program itself always runs the box's own event loop.
namespace ModalBox {

// Runs dialog->exec(), or the hook when one is installed; returns the result.
// A message box gets the program's box look first (applyBoxLook).
int exec(QDialog *dialog);

// The look every message box of the program has, whatever window it is
// shown over: a white box with an edge, dark text and framed buttons. A box
// is a child of its window and would otherwise take the window's style
// sheet (flat frameless buttons, transparent panels). Rules the box already
// has (a window's own box look) come after these and so win over them.
void applyBoxLook(QMessageBox *box);

// The hook receives the dialog (a QMessageBox for message boxes) already
// built and returns the result exec() would have returned.
using Hook = std::function<int(QDialog *)>;
void setHook(Hook hook);

// A message box with one OK button over parent, run through exec(). The box
// is a child of parent and may go with it while it is open (a window closed
// from under its own box), so it never lives on the caller's stack.
int showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                const QString &styleSheet = QString(), const QString &details = QString());

// The open-files dialog (several existing files), or the files hook when
// one is installed; an empty list when the user cancels. Like the folder
// dialog it starts at the folder last used in this run (else the user's
// home), runs through exec(), and a pick makes its folder the last used.
QStringList getOpenFileNames(QWidget *parent, const QString &caption, const QString &filter);

// Tests answer the open-files dialog with the files it would have returned.
using FilesHook = std::function<QStringList(QWidget *parent, const QString &caption, const QString &filter)>;
void setFilesHook(FilesHook hook);

// The folder dialog (existing folders only), or the folder hook when one is
// installed; an empty path when the user cancels. The dialog starts at the
// folder last picked in this run, or the one whose files were last picked
// (else the user's home), and runs through exec(), so the hook of exec()
// sees it when no folder hook is installed.
QString pickFolder(QWidget *parent, const QString &caption);

// Tests answer the folder dialog with the folder it would have returned.
using FolderHook = std::function<QString(QWidget *parent, const QString &caption)>;
void setFolderHook(FolderHook hook);

// The size Qt's own file or folder dialog opens at, on a screen whose free
// area is available, when its columns and names need textNeeds.
QSize pickerSize(const QSize &textNeeds, const QSize &available);

} // namespace ModalBox
