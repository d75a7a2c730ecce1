#include "JpegMarkers.h"

#include "RegularFile.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <libexif/exif-data.h>

namespace JpegMarkers {

namespace {

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1);
}

void ignoreMessage(j_common_ptr) { }

// libjpeg's errors jump back to the caller's setjmp; its warnings say nothing.
jpeg_error_mgr *quiet(ErrorManager &manager)
{
    jpeg_std_error(&manager.base);
    manager.base.error_exit = onError;
    manager.base.output_message = ignoreMessage;
    return &manager.base;
}

int orientationOf(const JOCTET *data, unsigned length)
{
    static const char exifHeader[] = "Exif\0";
    if (length < 6 || std::memcmp(data, exifHeader, 6) != 0)
        return 0;
    ExifData *exif = exif_data_new_from_data(data, length);
    if (!exif)
        return 0;
    int orientation = 0;
    if (ExifEntry *entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION)) {
        if (entry->format == EXIF_FORMAT_SHORT && entry->components == 1 && entry->data)
            orientation = exif_get_short(entry->data, exif_data_get_byte_order(exif));
    }
    exif_data_unref(exif);
    return orientation >= 1 && orientation <= 8 ? orientation : 0;
}

// Kept apart (as writeCarrier) so that no object with a destructor lives across the setjmp.
bool readHeader(FILE *file, Facts &facts)
{
    jpeg_decompress_struct info;
    ErrorManager manager;
    info.err = quiet(manager);
    if (setjmp(manager.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    facts.size = QSize(int(info.image_width), int(info.image_height));
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
        if (const int orientation = orientationOf(marker->data, marker->data_length)) {
            facts.orientation = orientation;
            break;
        }
    }
    jpeg_destroy_decompress(&info);
    return true;
}

bool writeCarrier(const QByteArray &exif, unsigned char **bytes, unsigned long *size)
{
    jpeg_compress_struct info;
    ErrorManager manager;
    info.err = quiet(manager);
    if (setjmp(manager.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, bytes, size);
    info.image_width = 1;
    info.image_height = 1;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    info.write_JFIF_header = FALSE;
    jpeg_start_compress(&info, TRUE);
    jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET *>(exif.constData()), unsigned(exif.size()));
    JSAMPLE white = 255;
    JSAMPROW row = &white;
    jpeg_write_scanlines(&info, &row, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

QByteArray carrying(const QByteArray &exif)
{
    // A marker holds at most 65533 bytes after its length.
    if (exif.isEmpty() || exif.size() > 65533)
        return QByteArray();
    unsigned char *bytes = nullptr;
    unsigned long size = 0;
    const bool written = writeCarrier(exif, &bytes, &size);
    const QByteArray carrier
        = written && bytes ? QByteArray(reinterpret_cast<const char *>(bytes), int(size)) : QByteArray();
    std::free(bytes);
    return carrier;
}

Facts read(const QString &path)
{
    Facts facts;
    FILE *file = RegularFile::openForReading(path);
    if (!file)
        return facts;
    if (!readHeader(file, facts))
        facts = Facts();
    std::fclose(file);
    return facts;
}

} // namespace JpegMarkers
