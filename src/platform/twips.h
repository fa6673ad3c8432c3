#pragma once

class QWidget;
class QRect;

namespace holvane {

// Sizes of the windows are designed in twips, 1/1440 inch, against a
// desktop whose dialog font is about 12 pixels high at 96 dots per inch.
// The main window follows the screen's resolution only; the dialogs follow
// their font too, so that no caption is clipped where the font is larger.
int twips(int value, const QWidget *widget);
int dialogTwips(int value, const QWidget *widget);
QRect dialogRect(int left, int top, int width, int height, const QWidget *widget);

} // namespace holvane
