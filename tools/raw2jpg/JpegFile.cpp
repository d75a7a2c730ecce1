#include "JpegFile.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include <jpeglib.h>

namespace {

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr info)
{
    auto *manager = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

void ignoreJpegMessage(j_common_ptr) { }

std::string temporaryTemplate(const std::string &target)
{
    const auto slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return dir + "." + name + ".XXXXXX";
}

// Kept out of writeJpeg so that no object with a destructor lives
// across the setjmp.
bool compress(const RawDecode::Picture &image, FILE *file, int quality, std::string &error)
{
    jpeg_compress_struct info;
    ErrorManager manager;
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = onJpegError;
    manager.base.output_message = ignoreJpegMessage;
    manager.message[0] = '\0';
    if (setjmp(manager.jump)) {
        jpeg_destroy_compress(&info);
        error = manager.message;
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = image.colours();
    info.in_color_space = image.colours() == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.colours());
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.pixels() + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

JpegTarget::JpegTarget(const char *path)
    : target(path)
    , temporary(temporaryTemplate(path))
{
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        message = std::string("cannot create the JPEG file: ") + std::strerror(errno);
        temporary.clear();
        return;
    }
    file = fdopen(fd, "wb");
    if (!file) {
        message = std::string("cannot create the JPEG file: ") + std::strerror(errno);
        close(fd);
    }
}

JpegTarget::~JpegTarget()
{
    if (file)
        std::fclose(file);
    if (!temporary.empty())
        unlink(temporary.c_str());
}

bool JpegTarget::commit()
{
    if (!file)
        return false;
    bool ok = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    if (!ok)
        message = std::strerror(errno);
    if (std::fclose(file) != 0 && ok) {
        message = std::strerror(errno);
        ok = false;
    }
    file = nullptr;
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) {
        message = std::strerror(errno);
        ok = false;
    }
    if (ok)
        temporary.clear();
    else
        message = "cannot write the JPEG file: " + message;
    return ok;
}

bool writeJpeg(const RawDecode::Picture &image, std::FILE *file, int quality, std::string &error)
{
    if (!compress(image, file, quality, error) || std::fflush(file) != 0) {
        error = "cannot write the JPEG file: " + (error.empty() ? std::string(std::strerror(errno)) : error);
        return false;
    }
    return true;
}
