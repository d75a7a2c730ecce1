// pngquant's command line for the Windows folder, on Debian's libimagequant (the
// library pngquant itself is built on): the options the batch engine passes, and
// pngquant's exit codes for what the engine tells apart.
//   pngquant [--quality N | MIN-MAX] [--speed N] [--force] --output OUT IN
// The output is written beside OUT under another name and renamed into place, so
// a failed run leaves nothing under OUT.
#include <libimagequant.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace {

enum Exit {
    Success = 0,
    MissingArgument = 1,
    ReadError = 2,
    InvalidArgument = 4,
    NotOverwriting = 15,
    CantWrite = 16,
    OutOfMemory = 17,
    TooLowQuality = 99,
};

struct Options
{
    std::wstring input;
    std::wstring output;
    int minQuality = 0;
    int maxQuality = 100;
    int speed = 4;
    bool force = false;
};

bool parseNumber(const std::wstring &text, int *value)
{
    if (text.empty() || text.size() > 3)
        return false;
    int result = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        result = result * 10 + (c - L'0');
    }
    *value = result;
    return true;
}

// "N" asks for N and accepts down to nine tenths of it; "MIN-MAX" says both.
bool parseQuality(const std::wstring &text, Options *options)
{
    const size_t dash = text.find(L'-');
    if (dash == std::wstring::npos) {
        int target = 0;
        if (!parseNumber(text, &target) || target > 100)
            return false;
        options->maxQuality = target;
        options->minQuality = target * 9 / 10;
        return true;
    }
    int low = 0, high = 100;
    if (!parseNumber(text.substr(0, dash), &low)
        || (dash + 1 < text.size() && !parseNumber(text.substr(dash + 1), &high)))
        return false;
    if (low > high || high > 100)
        return false;
    options->minQuality = low;
    options->maxQuality = high;
    return true;
}

int parse(int argc, wchar_t **argv, Options *options)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--quality" || arg == L"-Q") {
            if (!hasValue || !parseQuality(argv[++i], options))
                return InvalidArgument;
        } else if (arg == L"--speed" || arg == L"-s") {
            if (!hasValue || !parseNumber(argv[++i], &options->speed) || options->speed < 1 || options->speed > 11)
                return InvalidArgument;
        } else if (arg == L"--output" || arg == L"-o") {
            if (!hasValue)
                return MissingArgument;
            options->output = argv[++i];
        } else if (arg == L"--force" || arg == L"-f") {
            options->force = true;
        } else if (arg == L"--strip" || arg == L"--skip-if-larger" || arg == L"--") {
            // Nothing but the picture is written; a larger result is the caller's call.
        } else if (!arg.empty() && arg[0] == L'-') {
            return InvalidArgument;
        } else if (options->input.empty()) {
            options->input = arg;
        } else {
            return InvalidArgument;
        }
    }
    return options->input.empty() || options->output.empty() ? MissingArgument : Success;
}

struct FileCloser
{
    void operator()(FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

int quantize(const Options &options)
{
    if (!options.force && GetFileAttributesW(options.output.c_str()) != INVALID_FILE_ATTRIBUTES)
        return NotOverwriting;

    File in(_wfopen(options.input.c_str(), L"rb"));
    if (!in)
        return ReadError;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_stdio(&image, in.get()))
        return ReadError;
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> rgba;
    try {
        rgba.resize(PNG_IMAGE_SIZE(image));
    } catch (const std::bad_alloc &) {
        png_image_free(&image);
        return OutOfMemory;
    }
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr))
        return ReadError;
    in.reset();

    liq_attr *attr = liq_attr_create();
    liq_set_speed(attr, options.speed);
    liq_set_quality(attr, options.minQuality, options.maxQuality);
    liq_image *picture = liq_image_create_rgba(attr, rgba.data(), int(image.width), int(image.height), 0);
    liq_result *result = nullptr;
    const liq_error quantized = picture ? liq_image_quantize(picture, attr, &result) : LIQ_OUT_OF_MEMORY;
    int status = Success;
    std::vector<unsigned char> indexes(size_t(image.width) * image.height);
    // RGBA entries, as libpng's simplified writer takes a colour map.
    std::vector<png_byte> colormap;
    int count = 0;
    if (quantized == LIQ_QUALITY_TOO_LOW) {
        status = TooLowQuality;
    } else if (quantized != LIQ_OK) {
        status = OutOfMemory;
    } else {
        liq_set_dithering_level(result, 1.0f);
        liq_set_output_gamma(result, 0.45455);
        liq_write_remapped_image(result, picture, indexes.data(), indexes.size());
        const liq_palette *palette = liq_get_palette(result);
        count = int(palette->count);
        for (int i = 0; i < count; ++i) {
            const liq_color &entry = palette->entries[i];
            colormap.insert(colormap.end(), {entry.r, entry.g, entry.b, entry.a});
        }
    }
    if (result)
        liq_result_destroy(result);
    if (picture)
        liq_image_destroy(picture);
    liq_attr_destroy(attr);
    if (status != Success)
        return status;

    png_image out = {};
    out.version = PNG_IMAGE_VERSION;
    out.width = image.width;
    out.height = image.height;
    out.format = PNG_FORMAT_RGBA_COLORMAP;
    out.colormap_entries = png_uint_32(count);
    const std::wstring partial = options.output + L".partial";
    File file(_wfopen(partial.c_str(), L"wbx"));
    if (!file)
        return CantWrite;
    const bool written = png_image_write_to_stdio(&out, file.get(), 0, indexes.data(), 0, colormap.data())
        && std::fflush(file.get()) == 0;
    file.reset();
    const DWORD replace = options.force ? MOVEFILE_REPLACE_EXISTING : 0;
    if (!written || !MoveFileExW(partial.c_str(), options.output.c_str(), replace)) {
        DeleteFileW(partial.c_str());
        return CantWrite;
    }
    return Success;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    Options options;
    const int parsed = parse(argc, argv, &options);
    if (parsed != Success) {
        std::fwprintf(stderr, L"usage: pngquant [--quality N|MIN-MAX] [--speed N] [--force] --output OUT IN\n");
        return parsed;
    }
    return quantize(options);
}
