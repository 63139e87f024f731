// The window without a mouse: Return presses the focused button, and the quality slider says its number.
#pragma once

class QSlider;
class QWidget;

namespace phototrim::app {

// Return and Enter press whichever push button of `window` has the focus, as Space does. (Qt does
// this only inside dialogs; the main window is not one.)
void LetReturnPressButtons(QWidget& window);

// While `slider` has the focus or is being dragged, a tip beside its handle shows its number, for
// the scale below it marks only 0, 50 and 100.
void ShowSliderNumber(QSlider& slider);

}  // namespace phototrim::app
