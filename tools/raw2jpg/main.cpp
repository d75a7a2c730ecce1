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
#include "confinement/Confinement.h"
#include "rawdecode/RawDecode.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cstdio>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kJpegQuality = 93;
// No JPEG of a 256 MP picture comes near 4 bytes a pixel.
constexpr rlim_t kLargestJpeg = rlim_t(RawDecode::kMaxPixels) * 4;

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
    std::fflush(stderr);
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

// The decoding half, in a process of its own that confines itself before LibRaw
// sees a byte: it writes the JPEG into the temporary file it was handed and
// exits 0, or says why in one line and exits 1.
[[noreturn]] void decodeConfined(const RawDecode::MappedFile &file, std::FILE *jpeg, bool cover, long coverWidth,
                                 long coverHeight)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    Confinement::Limits limits;
    limits.fileSize = kLargestJpeg;
    Confinement::setLimits(limits);
    if (!Confinement::confine())
        ::_exit(fail("the decoder cannot confine itself"));
    RawDecode::RawFile raw;
    RawDecode::Picture image;
    if (raw.open(file) != RawDecode::Failure::None)
        ::_exit(fail("cannot decode the RAW file: " + raw.error()));
    // Half the size each way when that still covers the output.
    raw.setHalfSize(cover && coverWidth * 2 <= raw.width() && coverHeight * 2 <= raw.height());
    if (raw.develop(image) != RawDecode::Failure::None)
        ::_exit(fail("cannot decode the RAW file: " + raw.error()));
    if (!holdsImageData(image))
        ::_exit(fail("cannot decode the RAW file: it holds no image data"));
    std::string error;
    if (!writeJpeg(image, jpeg, kJpegQuality, error))
        ::_exit(fail(error));
    ::_exit(0);
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
    // Both files are opened here; the process that parses the RAW file can open
    // nothing, and this one parses nothing.
    RawDecode::MappedFile file;
    if (file.open(rawPath) != RawDecode::Failure::None)
        return fail("cannot decode the RAW file: " + file.error());
    JpegTarget jpeg(jpegPath);
    if (!jpeg.stream())
        return fail(jpeg.error());
    const pid_t decoder = ::fork();
    if (decoder < 0)
        return fail(std::string("cannot start the decoder: ") + std::strerror(errno));
    if (decoder == 0)
        decodeConfined(file, jpeg.stream(), cover, coverWidth, coverHeight);
    int status = 0;
    while (::waitpid(decoder, &status, 0) < 0 && errno == EINTR) { }
    if (WIFSIGNALED(status))
        return fail("the decoder crashed (signal " + std::to_string(WTERMSIG(status)) + ")");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 1; // the decoder said why
    if (!jpeg.commit())
        return fail(jpeg.error());
    return 0;
}
