#include "ui/common/JpegImage.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>

namespace cwt {
namespace {

// Far above any picture this program shows; a forged header cannot make us allocate more.
constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;

// libjpeg's default error_exit ends the process. Ours jumps back into DecodeInto with the
// message; warnings (corrupt or missing data that libjpeg would paper over with grey) are
// kept and turned into a failure too.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    char warning[JMSG_LENGTH_MAX];
    bool warned;
};

// The frame marker (SOF0 to SOF15) that starts the first frame, or 0 when the markers
// before it cannot be walked. libjpeg's 6.2 interface does not tell baseline from extended
// sequential coding, so the file's own marker decides.
int FrameMarker(QByteArrayView data) {
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(data[i]); };
    qsizetype pos = 2;  // after SOI
    while (pos + 4 <= data.size()) {
        if (at(pos) != 0xFF) return 0;
        const int marker = at(pos + 1);
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        const bool isFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame) return marker;
        if (marker == 0xD9 || marker == 0xDA)  // end of image, or scan data before any frame
            return 0;
        pos += 2 + ((at(pos + 2) << 8) | at(pos + 3));
    }
    return 0;
}

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void emitMessage(j_common_ptr cinfo, int msgLevel) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (msgLevel >= 0 || err->warned)  // trace messages, or a later warning
        return;
    (*cinfo->err->format_message)(cinfo, err->warning);
    err->warned = true;
}

void outputMessage(j_common_ptr) {}  // nothing goes to stderr

// Everything libjpeg touches lives in plain C structures owned by the caller, so the
// longjmp out of libjpeg skips no C++ destructor. Returns false with err->message set.
bool DecodeInto(jpeg_decompress_struct* cinfo, ErrorManager* err, const unsigned char* bytes,
                unsigned long size, QImage* image, JpegInfo* info) {
    if (setjmp(err->jump) != 0) return false;
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, bytes, size);
    jpeg_read_header(cinfo, TRUE);
    info->width = static_cast<int>(cinfo->image_width);
    info->height = static_cast<int>(cinfo->image_height);
    info->components = cinfo->num_components;
    info->progressive = cinfo->progressive_mode;

    const bool grey = cinfo->jpeg_color_space == JCS_GRAYSCALE;
    if (!grey && cinfo->num_components != 3) {
        std::snprintf(err->message, sizeof err->message,
                      "unsupported colour layout (%d components)", cinfo->num_components);
        return false;
    }
    if (static_cast<qint64>(info->width) * info->height > kMaxPixels) {
        std::snprintf(err->message, sizeof err->message, "picture too large (%d x %d)", info->width,
                      info->height);
        return false;
    }
    cinfo->out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(cinfo);

    *image =
        QImage(info->width, info->height, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image->isNull()) {
        std::snprintf(err->message, sizeof err->message, "out of memory for %d x %d", info->width,
                      info->height);
        return false;
    }
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(cinfo->output_scanline));
        jpeg_read_scanlines(cinfo, &row, 1);
        if (err->warned)  // libjpeg would fill the rest with grey
            return false;
    }
    jpeg_finish_decompress(cinfo);
    return !err->warned;
}

}  // namespace

JpegDecoded DecodeJpeg(QByteArrayView data) {
    JpegDecoded result;
    if (data.isEmpty()) {
        result.error = QStringLiteral("JPEG: no data");
        return result;
    }
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.emit_message = emitMessage;
    err.pub.output_message = outputMessage;

    result.info.baseline = FrameMarker(data) == 0xC0;
    const bool decoded =
        DecodeInto(&cinfo, &err, reinterpret_cast<const unsigned char*>(data.data()),
                   static_cast<unsigned long>(data.size()), &result.image, &result.info);
    jpeg_destroy_decompress(&cinfo);
    if (!decoded) {
        const char* why = err.warned && err.message[0] == 0 ? err.warning : err.message;
        result.error = QStringLiteral("JPEG: ") + QString::fromLocal8Bit(why);
        result.image = QImage();
    }
    return result;
}

}  // namespace cwt
