#pragma once

class QWidget;

// Shows a window of the program's, or brings it back to the front when it is
// open behind another one.
void bringToFront(QWidget *window);
