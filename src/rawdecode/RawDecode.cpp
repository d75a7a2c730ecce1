#include "rawdecode/RawDecode.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RawDecode {

bool withinBound(std::uint64_t width, std::uint64_t height)
{
    return width > 0 && height > 0 && width <= kMaxPixels && height <= kMaxPixels && width * height <= kMaxPixels;
}

bool acceptable(int type, int colours, int bits, int width, int height, std::uint64_t dataSize)
{
    if (type != LIBRAW_IMAGE_BITMAP || bits != 8 || (colours != 1 && colours != 3) || width <= 0 || height <= 0)
        return false;
    if (!withinBound(std::uint64_t(width), std::uint64_t(height)))
        return false;
    return dataSize >= std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(colours);
}

// LibRaw's flip code: 4 swaps the axes, then 2 turns upside down, 1 mirrors.
int quarterTurns(int flip)
{
    switch (flip & 7) {
    case 2:
    case 3: return 2;
    case 4:
    case 6: return 1;
    case 5:
    case 7: return 3;
    default: return 0;
    }
}

bool mirrored(int flip)
{
    switch (flip & 7) {
    case 1:
    case 2:
    case 4:
    case 7: return true;
    default: return false;
    }
}

int Picture::width() const
{
    return w;
}
int Picture::height() const
{
    return h;
}
int Picture::colours() const
{
    return c;
}
const std::uint8_t *Picture::pixels() const
{
    return data;
}
bool Picture::isNull() const
{
    return !owner;
}

RawFile::RawFile()
    : raw(std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE)) // large fixed buffers: never on a stack
{
    raw->set_dataerror_handler(
        [](void *data, const char *, const int) { static_cast<Trouble *>(data)->dataError = true; }, &trouble);
    raw->set_memerror_handler(
        [](void *data, const char *, const char *) { static_cast<Trouble *>(data)->memoryError = true; }, &trouble);
    raw->set_progress_handler(
        [](void *data, LibRaw_progress, int, int) -> int {
            auto *trouble = static_cast<Trouble *>(data);
            if (trouble->cancel && trouble->cancel())
                trouble->cancelled = true;
            return trouble->cancelled ? 1 : 0;
        },
        &trouble);
}

RawFile::~RawFile() = default;

const std::string &RawFile::error() const
{
    return message;
}

bool RawFile::troubled() const
{
    return trouble.dataError || trouble.memoryError || trouble.cancelled;
}

Failure RawFile::fail(Failure failure, const std::string &text)
{
    message = text;
    return failure;
}

Failure RawFile::fail(const char *stage, int code)
{
    if (trouble.cancelled || code == LIBRAW_CANCELLED_BY_CALLBACK)
        return fail(Failure::Cancelled, "decoding was cancelled");
    if (trouble.memoryError || code == LIBRAW_UNSUFFICIENT_MEMORY)
        return fail(Failure::NoMemory, "not enough memory to decode the RAW file");
    if (trouble.dataError || code == LIBRAW_DATA_ERROR)
        return fail(Failure::Corrupt, "the RAW data is truncated or corrupt");
    if (code == LIBRAW_FILE_UNSUPPORTED)
        return fail(Failure::NotRaw, "not a RAW file this decoder supports");
    if (code == LIBRAW_IO_ERROR)
        return fail(Failure::Unreadable, "the RAW file cannot be read (input/output error)");
    return fail(Failure::Corrupt, std::string(stage) + " failed: " + libraw_strerror(code));
}

MappedFile::~MappedFile()
{
    if (bytes)
        ::munmap(bytes, length);
}

Failure MappedFile::open(const char *path)
{
    // LibRaw only says "Input/output error" for a missing file. O_NONBLOCK: a path
    // that is (or has just become) a FIFO must not block the open; what was opened
    // is then looked at, not the path.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        message = error == ENOENT ? std::string("the RAW file does not exist")
                                  : std::string("the RAW file cannot be opened: ") + std::strerror(error);
        return error == ENOENT ? Failure::Missing : Failure::Unreadable;
    }
    struct stat info;
    Failure failure = Failure::None;
    if (::fstat(fd, &info) != 0) {
        failure = Failure::Unreadable;
        message = std::string("the RAW file cannot be read: ") + std::strerror(errno);
    } else if (S_ISDIR(info.st_mode)) {
        failure = Failure::NotAFile;
        message = "the RAW path is a folder, not a file";
    } else if (!S_ISREG(info.st_mode)) {
        failure = Failure::NotAFile;
        message = "the RAW path is not a regular file";
    } else if (info.st_size == 0) {
        failure = Failure::Empty;
        message = "the RAW file is empty";
    } else {
        void *mapped = ::mmap(nullptr, std::size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped == MAP_FAILED) {
            failure = Failure::Unreadable;
            message = std::string("the RAW file cannot be read: ") + std::strerror(errno);
        } else {
            bytes = static_cast<std::uint8_t *>(mapped);
            length = std::size_t(info.st_size);
        }
    }
    ::close(fd);
    return failure;
}

Failure RawFile::open(const MappedFile &file)
{
    if (!file.data())
        return fail(Failure::Unreadable, "the RAW file was not opened");
    // LibRaw reads the buffer only; its interface predates const.
    const int code = raw->open_buffer(const_cast<std::uint8_t *>(file.data()), file.size());
    if (code != LIBRAW_SUCCESS || troubled())
        return fail("opening", code);
    const libraw_image_sizes_t &sizes = raw->imgdata.sizes;
    if (!withinBound(sizes.raw_width, sizes.raw_height) || !withinBound(sizes.width, sizes.height))
        return fail(Failure::TooLarge, "the RAW picture is larger than 256 megapixels");
    return Failure::None;
}

int RawFile::width() const
{
    const libraw_image_sizes_t &sizes = raw->imgdata.sizes;
    return quarterTurns(sizes.flip) % 2 ? sizes.height : sizes.width;
}

int RawFile::height() const
{
    const libraw_image_sizes_t &sizes = raw->imgdata.sizes;
    return quarterTurns(sizes.flip) % 2 ? sizes.width : sizes.height;
}

namespace {

double degrees(const float (&dms)[3], char ref)
{
    const double value = dms[0] + dms[1] / 60.0 + dms[2] / 3600.0;
    return ref == 'S' || ref == 'W' ? -value : value;
}

// A text field of LibRaw's into one of ours, cut to fit and NUL-terminated (ours
// starts zeroed).
template <std::size_t N, std::size_t M>
void copyText(char (&to)[N], const char (&from)[M])
{
    std::memcpy(to, from, std::min(::strnlen(from, M), N - 1));
}

} // namespace

Metadata RawFile::metadata() const
{
    const libraw_data_t &data = raw->imgdata;
    Metadata out;
    copyText(out.make, data.idata.make);
    copyText(out.model, data.idata.model);
    copyText(out.lens, data.lens.Lens);
    out.iso = data.other.iso_speed;
    out.shutter = data.other.shutter;
    out.aperture = data.other.aperture;
    out.focalLength = data.other.focal_len;
    out.timestamp = data.other.timestamp;
    const libraw_gps_info_t &gps = data.other.parsed_gps;
    out.hasGps = gps.gpsparsed && (gps.latref == 'N' || gps.latref == 'S');
    if (out.hasGps) {
        out.latitude = degrees(gps.latitude, gps.latref);
        out.longitude = degrees(gps.longitude, gps.longref);
    }
    return out;
}

Failure RawFile::preview(Preview &out)
{
    const int code = raw->unpack_thumb();
    if (code != LIBRAW_SUCCESS || troubled())
        return fail("reading the preview", code);
    const libraw_thumbnail_t &thumb = raw->imgdata.thumbnail;
    if (thumb.tformat != LIBRAW_THUMBNAIL_JPEG || !thumb.thumb || thumb.tlength == 0)
        return fail(Failure::NotRaw, "the RAW file has no JPEG preview");
    out.jpeg.assign(thumb.thumb, thumb.thumb + thumb.tlength);
    out.width = thumb.twidth;
    out.height = thumb.theight;
    out.quarterTurns = quarterTurns(raw->imgdata.sizes.flip);
    out.mirrored = mirrored(raw->imgdata.sizes.flip);
    return Failure::None;
}

void RawFile::setHalfSize(bool half)
{
    raw->imgdata.params.half_size = half ? 1 : 0;
}

Failure RawFile::process(const std::function<bool()> &cancelled)
{
    trouble.cancel = cancelled;
    int code = raw->unpack();
    if (code != LIBRAW_SUCCESS || troubled())
        return fail("unpacking", code);
    if (trouble.cancel && trouble.cancel())
        return fail("unpacking", LIBRAW_CANCELLED_BY_CALLBACK);
    // The program's only develop step.
    code = raw->dcraw_process();
    if (code != LIBRAW_SUCCESS || troubled())
        return fail("processing", code);
    return Failure::None;
}

Failure RawFile::develop(Picture &out, const std::function<bool()> &cancelled)
{
    std::shared_ptr<std::uint8_t> pixels;
    int w = 0, h = 0, c = 0;
    const Failure failure = developInto(
        [&](int width, int height, int colours, int *stride) -> std::uint8_t * {
            w = width;
            h = height;
            c = colours;
            *stride = width * colours;
            pixels.reset(new (std::nothrow) std::uint8_t[std::size_t(*stride) * std::size_t(height)],
                         std::default_delete<std::uint8_t[]>());
            return pixels.get();
        },
        cancelled);
    if (failure != Failure::None)
        return failure;
    out.data = pixels.get();
    out.w = w;
    out.h = h;
    out.c = c;
    out.owner = std::move(pixels);
    return Failure::None;
}

Failure RawFile::developInto(const Target &target, const std::function<bool()> &cancelled)
{
    const Failure processed = process(cancelled);
    if (processed != Failure::None)
        return processed;
    int width = 0, height = 0, colours = 0, bits = 0;
    raw->get_mem_image_format(&width, &height, &colours, &bits);
    const std::uint64_t size
        = std::uint64_t(std::max(width, 0)) * std::uint64_t(std::max(height, 0)) * std::uint64_t(std::max(colours, 0));
    if (!acceptable(LIBRAW_IMAGE_BITMAP, colours, bits, width, height, size))
        return fail(Failure::Corrupt, "LibRaw produced no usable image");
    int stride = 0;
    std::uint8_t *rows = target(width, height, colours, &stride);
    if (!rows)
        return fail(Failure::NoMemory, "no memory for the developed picture");
    if (stride < width * colours)
        return fail(Failure::NoMemory, "rows too short for the developed picture");
    const int code = raw->copy_mem_image(rows, stride, 0);
    if (code != LIBRAW_SUCCESS || troubled())
        return fail("making the image", code);
    return Failure::None;
}

} // namespace RawDecode
