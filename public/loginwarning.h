#pragma once

class QString;
class QWidget;

// The warning box of the login windows: "温馨提示", the text, one OK button,
// white with a blue button. Runs modally through ModalBox.
void showLoginWarning(QWidget *parent, const QString &text);
