#pragma once

namespace kalvera {

// The window's font is Tahoma. Where the system's font configuration does not know it (Linux),
// the Tahoma of the fonts-wine package is added to the application's fonts, once; without it
// Qt silently falls back to its default font. Needs a QGuiApplication.
void EnsureWindowFonts();

}  // namespace kalvera
