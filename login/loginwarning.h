#pragma once

class QString;
class QWidget;

// The warning box of the login windows: "温馨提示", the text, one OK button,
// white with a blue button. Runs modally through ModalBox. The box is a
// child of parent and may go with it while it is open (a window closed
// from under its own box), so it never lives on the caller's stack.
void showLoginWarning(QWidget *parent, const QString &text);
