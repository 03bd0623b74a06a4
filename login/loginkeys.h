#pragma once

class QAbstractButton;
class QKeyEvent;
class QWidget;

namespace LoginKeys {

// Enter or the keypad's Enter that reached a login window: its fields and
// check box leave the key to the window, as a dialog's would to its default
// button. A focused push button is pressed (Space presses it too), any other
// focus presses loginButton, as a click would (a disabled or busy button
// sends nothing). Returns whether the key was one of the two and taken.
bool pressOnEnter(QWidget *window, QKeyEvent *event, QAbstractButton *loginButton);

} // namespace LoginKeys
