#include "utilities/JpegImage.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <jpeglib.h>

namespace {

// libjpeg reports errors by calling error_exit, which must not return: it jumps back to the
// step that was running. Only C frames lie between, so no destructor is skipped.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf step;
};

[[noreturn]] void jumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->step, 1);
}

// A warning means damaged data that libjpeg would paper over with grey; it fails too.
void warningFails(j_common_ptr info, int level) {
    if (level < 0)
        jumpBack(info);
}

void silent(j_common_ptr) {}

class Decompressor {
public:
    Decompressor() {
        info.err = jpeg_std_error(&errors_.pub);
        errors_.pub.error_exit = jumpBack;
        errors_.pub.emit_message = warningFails;
        errors_.pub.output_message = silent;
    }
    ~Decompressor() {
        if (created_)
            jpeg_destroy_decompress(&info);
    }
    Decompressor(const Decompressor &) = delete;
    Decompressor &operator=(const Decompressor &) = delete;

    // Runs one piece of libjpeg work; false when libjpeg reported an error in it. `work` must
    // keep no object with a destructor of its own alive while it calls libjpeg.
    template <class Work> bool step(Work &&work) {
        if (setjmp(errors_.step) != 0)
            return false;
        work();
        return true;
    }
    bool create() {
        return step([this] {
            jpeg_create_decompress(&info);
            created_ = true;
        });
    }

    jpeg_decompress_struct info{};

private:
    ErrorManager errors_{};
    bool created_ = false;
};

// Larger than any picture the program shows; guards against absurd sizes in a damaged header.
constexpr JDIMENSION kLargest = 8192;

} // namespace

QImage decodeJpeg(const QByteArray &data) {
    if (data.isEmpty())
        return {};
    Decompressor jpeg;
    if (!jpeg.create())
        return {};
    jpeg_decompress_struct &info = jpeg.info;
    const bool started = jpeg.step([&] {
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(data.constData()),
                     static_cast<unsigned long>(data.size()));
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
    });
    if (!started || info.output_components != 3 || info.output_width == 0 ||
        info.output_height == 0 || info.output_width > kLargest || info.output_height > kLargest)
        return {};

    QImage image(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    if (image.isNull())
        return {};
    const bool read = jpeg.step([&] {
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = image.scanLine(int(info.output_scanline));
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
    });
    return read ? image : QImage();
}
