#include "JpegWriter.h"

#include <jpeglib.h>

#include <QSaveFile>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Only plain C data is alive across the setjmp, so the longjmp skips no destructor.
bool Encode(jpeg_compress_struct* cinfo, ErrorManager* err, const QImage* rgb, int quality,
            unsigned char** buffer, unsigned long* size) {
    if (setjmp(err->jump) != 0) return false;
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, buffer, size);
    cinfo->image_width = static_cast<JDIMENSION>(rgb->width());
    cinfo->image_height = static_cast<JDIMENSION>(rgb->height());
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);  // TRUE: tables limited to baseline values
    // Full-resolution colour: coloured lettering stays sharp at the chart's small size.
    for (int c = 0; c < cinfo->num_components; ++c) {
        cinfo->comp_info[c].h_samp_factor = 1;
        cinfo->comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        auto row = const_cast<JSAMPROW>(rgb->constScanLine(static_cast<int>(cinfo->next_scanline)));
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

QString WriteBaselineJpeg(const QImage& image, const QString& path, int quality) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool encoded = Encode(&cinfo, &err, &rgb, quality, &buffer, &size);
    jpeg_destroy_compress(&cinfo);
    QString error;
    if (!encoded) {
        error = QString::fromLocal8Bit(err.message);
    } else {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(buffer), static_cast<qint64>(size)) !=
                static_cast<qint64>(size) ||
            !file.commit())
            error = file.errorString();
    }
    std::free(buffer);
    return error;
}
