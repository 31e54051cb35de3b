// JPEG through libjpeg-turbo. A progressive file may ask for any number of
// scans, each a pass over the whole image: more than kMaxJpegScans is
// refused. A file that ends early is refused too, rather than shown grey.
#include "image/TextureImage.h"

#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

namespace {

// An error about the bytes, before any file is named.
Status Fail(std::string reason) {
    return Error{"", "", std::move(reason)};
}

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char problem[JMSG_LENGTH_MAX + 64];
};

[[noreturn]] void Fail(j_common_ptr info, const char* text) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    std::snprintf(errors->problem, sizeof errors->problem, "%s", text);
    std::longjmp(errors->jump, 1);
}

[[noreturn]] void OnError(j_common_ptr info) {
    char message[JMSG_LENGTH_MAX];
    info->err->format_message(info, message);
    Fail(info, message);
}

// Warnings are corrupt data the library would paper over; the one that
// means the data stopped short is an error here.
void OnMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        Fail(info, "the file ends before the picture does");
}

void OnProgress(j_common_ptr info) {
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxJpegScans)
        Fail(info, "a progressive JPEG of more than 100 scans");
}

// Nothing with a destructor lives on this frame between setjmp and longjmp.
bool Decode(jpeg_decompress_struct& info, ErrorManager& errors, jpeg_progress_mgr& progress,
            const uint8_t* bytes, size_t size, TextureImage& image) {
    if (setjmp(errors.jump))
        return false;
    jpeg_create_decompress(&info); // clears everything but the error manager
    info.progress = &progress;
    jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    {
        const std::string problem = TextureSizeProblem(info.image_width, info.image_height);
        std::snprintf(errors.problem, sizeof errors.problem, "%s", problem.c_str());
    }
    if (errors.problem[0] != 0)
        std::longjmp(errors.jump, 1);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        Fail(reinterpret_cast<j_common_ptr>(&info), "a CMYK JPEG; save it as RGB");
    info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    if (info.output_components != 4 ||
        !AllocateTexture(image, int(info.output_width), int(info.output_height)))
        Fail(reinterpret_cast<j_common_ptr>(&info), "not enough memory for the picture");
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.rgba.data() + size_t(info.output_scanline) * info.output_width * 4;
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            Fail(reinterpret_cast<j_common_ptr>(&info), "the file ends before the picture does");
    }
    // The end marker and anything after it are not needed.
    return true;
}

} // namespace

Status DecodeJpeg(const uint8_t* bytes, size_t size, TextureImage& image) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = OnMessage;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = OnProgress;
    const bool ok = Decode(info, errors, progress, bytes, size, image);
    jpeg_destroy_decompress(&info);
    if (!ok)
        return Fail(std::string("JPEG: ") + errors.problem);
    return Success();
}
