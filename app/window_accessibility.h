// What screen readers hear of the main window: names, descriptions, and the status line as it changes.
#pragma once

namespace phototrim::app {

class TForm1;

// Gives every control of `form` an accessible name (a caption's spacing, which lines up columns on
// the screen, is left out of it) and a description where the caption alone does not say what the
// control does; keeps the status line's name its current text; and leaves hidden controls out of
// the window's accessible children.
void DescribeForScreenReaders(TForm1& form);

}  // namespace phototrim::app
