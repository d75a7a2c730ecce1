#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class LibRaw;

// The one LibRaw decoder, used by the viewer's loader and by ConvertToJpg. Plain
// C++, no Qt. Paths are bytes in the platform's local encoding.
namespace RawDecode {

// The largest picture either side develops: 256 megapixels (the developed RGB
// picture alone is 768 MB, LibRaw's working buffers twice that). Larger files are
// refused before any pixel is unpacked.
constexpr std::uint64_t kMaxPixels = 256ull * 1000 * 1000;

enum class Failure {
    None,
    Missing,
    NotAFile, // a folder, FIFO, device or socket: never opened
    Empty,
    Unreadable,
    NotRaw,
    Corrupt,
    TooLarge,
    NoMemory,
    Cancelled,
};

// The one acceptance rule for what LibRaw hands back: an 8-bit bitmap of one
// (grey) or three (RGB) colours, within kMaxPixels, whose buffer holds every row.
// LibRaw returns a non-null 0 x 0 record on several failures.
bool acceptable(int type, int colours, int bits, int width, int height, std::uint64_t dataSize);

// True when a width x height picture is within kMaxPixels (and both sides positive).
bool withinBound(std::uint64_t width, std::uint64_t height);

// Clockwise quarter turns that, followed by a left-right mirror where mirrored()
// says so, stand a picture with LibRaw's flip code upright.
int quarterTurns(int flip);
bool mirrored(int flip);

// A developed picture: rows top to bottom, no padding, already upright.
class Picture
{
public:
    int width() const;
    int height() const;
    int colours() const; // 3 (RGB) or 1 (grey)
    const std::uint8_t *pixels() const;
    bool isNull() const;

private:
    friend class RawFile;
    std::shared_ptr<const void> owner; // the pixels, released with the last copy
    const std::uint8_t *data = nullptr;
    int w = 0;
    int h = 0;
    int c = 0;
};

// The camera's embedded JPEG preview, as stored (not turned).
struct Preview
{
    std::vector<std::uint8_t> jpeg;
    int width = 0;
    int height = 0;
    int quarterTurns = 0; // clockwise turns that stand it upright
    bool mirrored = false; // then mirrored left to right
};

// What the camera wrote about the shot, as LibRaw parsed it; 0 or empty when absent.
// Fixed-size and trivially copyable: the decoder process hands it to the viewer
// as it is (RawChannel::Reply). The texts are NUL-terminated (the receiver makes
// sure: terminate()).
struct Metadata
{
    char make[64] = {};
    char model[64] = {};
    char lens[128] = {};
    double iso = 0;
    double shutter = 0; // seconds
    double aperture = 0; // f-number
    double focalLength = 0; // mm
    std::int64_t timestamp = 0; // seconds since the epoch, local time of the camera
    std::int32_t hasGps = 0; // an int, not a bool: every bit pattern a sender leaves is a value
    double latitude = 0; // degrees, south negative
    double longitude = 0; // degrees, west negative

    // Ends each text within its field, whatever a sender left there.
    void terminate()
    {
        make[sizeof make - 1] = model[sizeof model - 1] = lens[sizeof lens - 1] = '\0';
    }
};

// A RAW file opened and mapped read-only. The decoder processes do this before
// they confine themselves: LibRaw then parses only memory, and needs no right to
// open anything. Never blocks on a FIFO or a device: only a regular, non-empty
// file is mapped.
class MappedFile
{
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    Failure open(const char *path);

    const std::uint8_t *data() const { return bytes; }
    std::size_t size() const { return length; }
    // One line of our own words for a failed open().
    const std::string &error() const { return message; }

private:
    std::uint8_t *bytes = nullptr;
    std::size_t length = 0;
    std::string message;
};

class RawFile
{
public:
    RawFile();
    ~RawFile();
    RawFile(const RawFile &) = delete;
    RawFile &operator=(const RawFile &) = delete;

    // Reads the header of an open file (which must outlive this); refuses pictures
    // beyond kMaxPixels.
    Failure open(const MappedFile &file);

    // Picture size after develop (turned upright); valid after open().
    int width() const;
    int height() const;

    // The shot's metadata; valid after open().
    Metadata metadata() const;

    // The embedded JPEG preview, if the file has one.
    Failure preview(Preview &out);

    // Develop at half the size on each side (LibRaw's half_size: each 2x2 block of
    // the sensor becomes one pixel, no demosaicing): a quarter of the work, for a
    // picture shown below half its size. Set before develop.
    void setHalfSize(bool half);

    // Unpacks and develops with LibRaw's default processing. cancelled is asked at
    // every stage LibRaw reports; once it answers true the develop ends with
    // Failure::Cancelled.
    Failure develop(Picture &out, const std::function<bool()> &cancelled = {});

    // The caller's memory for a developed picture: called once with its upright size
    // and colours (1 or 3, 8 bits each), returns its first row and sets the distance
    // between rows (at least width * colours bytes); null when there is no memory.
    using Target = std::function<std::uint8_t *(int width, int height, int colours, int *stride)>;
    // As develop(), but the picture is written into the target's memory, without a
    // copy of LibRaw's own in between.
    Failure developInto(const Target &target, const std::function<bool()> &cancelled = {});

    // One line of our own words for the last failure; LibRaw itself prints nothing.
    const std::string &error() const;

private:
    // What LibRaw's callbacks report; its own handlers would print to stderr.
    struct Trouble
    {
        std::function<bool()> cancel;
        bool dataError = false;
        bool memoryError = false;
        bool cancelled = false;
    };

    Failure process(const std::function<bool()> &cancelled);
    Failure fail(const char *stage, int code);
    Failure fail(Failure failure, const std::string &text);
    bool troubled() const;

    std::unique_ptr<LibRaw> raw;
    Trouble trouble;
    std::string message;
};

} // namespace RawDecode
