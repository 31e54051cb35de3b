// PNG through libpng's progressive reader: it stops inflating once the rows
// the header promises are complete, so a stream that would inflate on past
// them (a few megabytes can hold gigabytes of zeros) costs nothing more.
#include "image/TextureImage.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace {

// An error about the bytes, before any file is named.
Status Fail(std::string reason) {
    return Error{"", "", std::move(reason)};
}

struct State {
    TextureImage* image;
    std::jmp_buf jump;
    char problem[200];
    bool ended = false; // the IEND chunk was reached: no row is missing
};

State& StateOf(png_structp png) {
    return *static_cast<State*>(png_get_progressive_ptr(png));
}

void OnError(png_structp png, png_const_charp message) {
    auto* state = static_cast<State*>(png_get_error_ptr(png));
    std::snprintf(state->problem, sizeof state->problem, "%s", message);
    std::longjmp(state->jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnInfo(png_structp png, png_infop info) {
    State& state = StateOf(png);
    const png_uint_32 width = png_get_image_width(png, info),
                      height = png_get_image_height(png, info);
    {
        const std::string size = TextureSizeProblem(width, height);
        std::snprintf(state.problem, sizeof state.problem, "%s", size.c_str());
    }
    if (state.problem[0] != 0)
        std::longjmp(state.jump, 1);
    // Any PNG to 8-bit RGBA.
    png_set_expand(png);
    png_set_scale_16(png); // rounded, as image editors do; stripping would truncate
    png_set_packing(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4)
        png_error(png, "unexpected row layout");
    if (!AllocateTexture(*state.image, int(width), int(height)))
        png_error(png, "not enough memory for the picture");
}

void OnRow(png_structp png, png_bytep row, png_uint_32 number, int) {
    TextureImage& image = *StateOf(png).image;
    if (row && number < png_uint_32(image.height))
        png_progressive_combine_row(png, image.rgba.data() + size_t(number) * image.width * 4, row);
}

void OnEnd(png_structp png, png_infop) {
    StateOf(png).ended = true;
}

// Nothing with a destructor lives on this frame between setjmp and longjmp.
bool Decode(State& state, png_structp png, png_infop info, const uint8_t* bytes, size_t size) {
    if (setjmp(state.jump))
        return false;
    png_set_user_limits(png, kMaxTextureSide, kMaxTextureSide);
    // Text and profile chunks are not needed; bound what they may allocate.
    png_set_chunk_malloc_max(png, 8u << 20);
    png_set_progressive_read_fn(png, &state, OnInfo, OnRow, OnEnd);
    png_process_data(png, info, const_cast<png_bytep>(bytes), size);
    return true;
}

} // namespace

Status DecodePng(const uint8_t* bytes, size_t size, TextureImage& image) {
    // The size the header claims is judged by the texture rule first: libpng
    // would refuse one past its own limits as merely "Invalid IHDR data".
    constexpr size_t kIhdrEnd = 8 + 8 + 8; // signature, chunk length and type, width, height
    if (size >= kIhdrEnd && std::memcmp(bytes + 12, "IHDR", 4) == 0) {
        auto be32 = [&](size_t at) {
            return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
                   uint32_t(bytes[at + 2]) << 8 | uint32_t(bytes[at + 3]);
        };
        const std::string problem = TextureSizeProblem(be32(16), be32(20));
        if (!problem.empty())
            return Fail("PNG: " + problem);
    }
    State state{&image, {}, "", false};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (!png)
        return Fail("not enough memory for the PNG reader");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return Fail("not enough memory for the PNG reader");
    }
    const bool ok = Decode(state, png, info, bytes, size);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok)
        return Fail(std::string("PNG: ") + (state.problem[0] ? state.problem : "unknown error"));
    if (!state.ended)
        return Fail("PNG: the file ends before the picture does");
    return Success();
}
