// ConvertToJpg [--cover WIDTHxHEIGHT] RAW_FILE JPEG_FILE
//
// Decodes one camera RAW file with LibRaw's default processing and writes it as
// an 8-bit sRGB JPEG. --cover names the size the picture is wanted at (a side of
// 0 follows the aspect ratio): when half the picture still covers it each way,
// it is developed at half size, a quarter of the work. Exit status 0 on success. On any failure: exit status 1
// (2 for a wrong call), no output file, and exactly one line on standard error.
// The batch engine treats error text containing "warning" as harmless, so no
// line of ours may ever contain that word.

#include "JpegFile.h"
#include "rawdecode/RawDecode.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kJpegQuality = 93;

// A develop of no pixel data (headers only, zeros where the data should be)
// gives a picture of nothing but zeros and no error. A real exposure never
// does: even a black frame's noise is lifted by the default brightening.
bool holdsImageData(const RawDecode::Picture &image)
{
    const std::size_t size = std::size_t(image.width()) * std::size_t(image.height()) * std::size_t(image.colours());
    const std::uint8_t *pixels = image.pixels();
    return std::any_of(pixels, pixels + size, [](std::uint8_t value) { return value != 0; });
}

std::string withoutWarningWord(std::string line)
{
    std::string lower = line;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (auto at = lower.find("warning"); at != std::string::npos; at = lower.find("warning", at + 1))
        line.replace(at, 7, "problem"), lower.replace(at, 7, "problem");
    return line;
}

int fail(const std::string &message, int status = 1)
{
    std::fprintf(stderr, "ConvertToJpg: %s\n", withoutWarningWord(message).c_str());
    return status;
}

// "WIDTHxHEIGHT", each side a whole number from 0 to 100000.
bool parseCover(const char *text, long &width, long &height)
{
    char *end = nullptr;
    width = std::strtol(text, &end, 10);
    if (end == text || *end != 'x' || width < 0 || width > 100000)
        return false;
    const char *second = end + 1;
    height = std::strtol(second, &end, 10);
    return end != second && *end == '\0' && height >= 0 && height <= 100000;
}

} // namespace

int main(int argc, char **argv)
{
    long coverWidth = 0;
    long coverHeight = 0;
    const bool cover = argc == 5 && std::string(argv[1]) == "--cover";
    if (cover && !parseCover(argv[2], coverWidth, coverHeight))
        return fail("--cover takes WIDTHxHEIGHT", 2);
    if (argc != 3 && !cover)
        return fail("expected two arguments, RAW_FILE JPEG_FILE, after an optional --cover WIDTHxHEIGHT", 2);
    const char *rawPath = argv[argc - 2];
    const char *jpegPath = argv[argc - 1];

    // Paths are used as the bytes we were given: the platform's local encoding.
    RawDecode::RawFile raw;
    RawDecode::Picture image;
    if (raw.open(rawPath) != RawDecode::Failure::None)
        return fail("cannot decode the RAW file: " + raw.error());
    raw.setHalfSize(cover && coverWidth * 2 <= raw.width() && coverHeight * 2 <= raw.height());
    if (raw.develop(image) != RawDecode::Failure::None)
        return fail("cannot decode the RAW file: " + raw.error());
    if (!holdsImageData(image))
        return fail("cannot decode the RAW file: it holds no image data");
    std::string error;
    if (!writeJpegAtomically(image, jpegPath, kJpegQuality, error))
        return fail(error);
    return 0;
}
