#include "RawDecoder.h"

#include <libraw/libraw.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

// LibRaw's own handlers print to stderr; ours only remember that something broke,
// so the program's single error line stays its own.
struct Trouble
{
    bool dataError = false;
    bool memoryError = false;
};

void onDataError(void *data, const char *, const int)
{
    static_cast<Trouble *>(data)->dataError = true;
}

void onMemoryError(void *data, const char *, const char *)
{
    static_cast<Trouble *>(data)->memoryError = true;
}

struct MemImageDeleter
{
    void operator()(libraw_processed_image_t *image) const { LibRaw::dcraw_clear_mem(image); }
};

std::string stageError(const char *stage, int code, const Trouble &trouble)
{
    if (trouble.memoryError || code == LIBRAW_UNSUFFICIENT_MEMORY)
        return "not enough memory to decode the RAW file";
    if (trouble.dataError || code == LIBRAW_DATA_ERROR)
        return "the RAW data is truncated or corrupt";
    if (code == LIBRAW_FILE_UNSUPPORTED)
        return "not a RAW file this decoder supports";
    if (code == LIBRAW_IO_ERROR)
        return "the RAW file cannot be read (input/output error)";
    return std::string(stage) + " failed: " + libraw_strerror(code);
}

// LibRaw only says "Input/output error" for a missing file: look first.
bool checkReadable(const char *path, std::string &error)
{
    struct stat info;
    if (stat(path, &info) != 0) {
        error = errno == ENOENT ? "the RAW file does not exist"
                                : std::string("the RAW file cannot be opened: ") + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = "the RAW path is a folder, not a file";
        return false;
    }
    if (info.st_size == 0) {
        error = "the RAW file is empty";
        return false;
    }
    return true;
}

} // namespace

bool decodeRaw(const char *path, DecodedImage &image, std::string &error)
{
    if (!checkReadable(path, error))
        return false;

    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    Trouble trouble;
    raw->set_dataerror_handler(onDataError, &trouble);
    raw->set_memerror_handler(onMemoryError, &trouble);

    int code = raw->open_file(path);
    if (code != LIBRAW_SUCCESS || trouble.dataError || trouble.memoryError) {
        error = stageError("opening", code, trouble);
        return false;
    }
    code = raw->unpack();
    if (code != LIBRAW_SUCCESS || trouble.dataError || trouble.memoryError) {
        error = stageError("unpacking", code, trouble);
        return false;
    }
    code = raw->dcraw_process();
    if (code != LIBRAW_SUCCESS || trouble.dataError || trouble.memoryError) {
        error = stageError("processing", code, trouble);
        return false;
    }
    code = LIBRAW_SUCCESS;
    std::unique_ptr<libraw_processed_image_t, MemImageDeleter> mem(raw->dcraw_make_mem_image(&code));
    if (!mem || code != LIBRAW_SUCCESS || trouble.dataError || trouble.memoryError) {
        error = stageError("making the image", code, trouble);
        return false;
    }

    // LibRaw hands back a non-null 0 x 0 image on several failures: trust nothing unchecked.
    const auto width = static_cast<std::size_t>(mem->width);
    const auto height = static_cast<std::size_t>(mem->height);
    const auto colours = static_cast<std::size_t>(mem->colors);
    if (mem->type != LIBRAW_IMAGE_BITMAP || mem->bits != 8 || (colours != 3 && colours != 1) || width == 0
        || height == 0 || mem->data_size != width * height * colours) {
        error = "LibRaw produced no usable image";
        return false;
    }

    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.colours = static_cast<int>(colours);
    image.pixels.assign(mem->data, mem->data + mem->data_size);
    return true;
}
