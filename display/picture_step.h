// Which way the run goes after a picture the user ended: on to the next
// picture (a click, a key, Page Down) or back to the one before (Page Up).
// Ending the picture itself is told by the result code as always (CODE_NEXT
// while drawing, a normal end once drawn); the way on comes with it, so the
// run modes print and count the picture as for a click and then step back.
#pragma once

namespace lanterna {

enum class PictureStep { NEXT, PREVIOUS };

}  // namespace lanterna
