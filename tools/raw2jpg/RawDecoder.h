#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One camera RAW file decoded with LibRaw's default processing into 8-bit sRGB
// pixels, already turned upright (LibRaw applies the camera orientation once).
struct DecodedImage
{
    int width = 0;
    int height = 0;
    int colours = 0; // 3 (RGB) or 1 (grey)
    std::vector<std::uint8_t> pixels; // rows top to bottom, no padding
};

// Decodes path (bytes in the platform's local encoding). On failure returns false
// and sets error to one line of our own words; LibRaw itself prints nothing.
bool decodeRaw(const char *path, DecodedImage &image, std::string &error);
