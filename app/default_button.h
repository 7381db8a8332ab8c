#pragma once
// Enter presses the shown page's default button, as it does in a dialog
// (Qt gives default buttons that key only inside dialogs). A focused push
// button is pressed instead, and a list or a text area keeps Enter.

class QTabWidget;

namespace mv {

void PressDefaultButtonOnEnter(QTabWidget* pages);

}  // namespace mv
