#pragma once
// The glyphs of the frame's speed buttons, drawn in code: an open folder, a
// magnifying glass and a question mark.

#include <QPixmap>

QPixmap OpenGlyph();
QPixmap FindGlyph();
QPixmap HelpGlyph();
