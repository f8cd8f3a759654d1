#pragma once
// The logo bitmap "PKEEP20.BMP" drawn at the top of every report page: three
// comic panels and a star burst, drawn pixel by pixel (no fonts needed).

#include <QString>

namespace admin {

inline constexpr const char* kLogoFile = "PKEEP20.BMP";
// Writes the logo as a 24-bit BMP file; raises on failure.
void WriteLogo(const QString& path);

}  // namespace admin
