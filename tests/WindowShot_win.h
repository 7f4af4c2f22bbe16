#pragma once
// Test artifacts: the screen area of a real window saved as a 24-bit BMP, for a person to look at.

#include <string>

// Writes directory/name.bmp; false when the window has no area or the file cannot be written.
bool SaveWindowShot(void* window, const std::string& directory, const std::string& name);
