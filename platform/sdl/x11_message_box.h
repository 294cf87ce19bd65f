// The message box's window itself, for the box's own process (message_box.cpp).
#pragma once

// Shows a box with the title as its name, the text (one line per '\n') and an
// OK button on a display connection of its own, and returns once it is
// answered: OK, Return, Enter, Escape, Space, or the window manager's close.
// False when no X display can be opened.
bool runX11MessageBox(const char* title, const char* text);
