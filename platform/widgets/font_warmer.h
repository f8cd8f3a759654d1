#pragma once
// Loading a font for the first time costs more than a window's whole paint:
// the font is matched against the system's font list and each character is
// rasterised as it is first drawn.  A window that is opened later in the
// session can have its fonts loaded while the program is idle, so that its
// first paint costs no more than any later one.
#include <QFont>
#include <QString>
#include <vector>

class QObject;

// Loads each font and draws every printable Latin-1 character and each of
// `symbols` with it once, so that the font and its glyphs are in the
// toolkit's caches.
void WarmFonts(const std::vector<QFont>& fonts, const QString& symbols = {});

// The same, run once the event loop is next idle; nothing happens if `owner`
// is gone by then.
void WarmFontsWhenIdle(QObject& owner, std::vector<QFont> fonts, const QString& symbols = {});
