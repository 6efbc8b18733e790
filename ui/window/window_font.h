// The font of the window's controls. The layout was drawn for MS Sans Serif
// at 8 points, and every caption was given the room it takes in that face.
#pragma once

#include <windows.h>

namespace act {

// Creates MS Sans Serif at 8 points for the screen of `screen`. Where the
// system has no such face (a Wine prefix without Wine's own fonts), the
// font mapper hands over another one, usually wider than the design: that
// face is narrowed until it sets the alphabet in no more room than
// MS Sans Serif does, so that each caption keeps to its control. The caller
// deletes the font.
HFONT CreateWindowFont(HDC screen);

}  // namespace act
