#include "PngWriter.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

// libpng reports through these; the text is kept for the caller before the
// jump back to the setjmp of the function that called libpng.
struct PngErrorText {
    char Text[256] = "";
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
    auto* lr_Error_ = static_cast<PngErrorText*>(png_get_error_ptr(png));
    if (lr_Error_) std::snprintf(lr_Error_->Text, sizeof lr_Error_->Text, "%s", message ? message : "unknown error");
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// The rows of an image more than this many bytes are not allocated from a file.
constexpr size_t k_MaxPngBytes = size_t(1) << 30;

// Only plain data lives in the frames that libpng may jump over or back to.
bool EncodeRows(FILE* file, int width, int height, png_bytep* rows, PngErrorText& text) {
    png_structp lr_Png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &text, OnPngError, OnPngWarning);
    if (!lr_Png_) return false;
    png_infop lr_Info_ = png_create_info_struct(lr_Png_);
    if (!lr_Info_) {
        png_destroy_write_struct(&lr_Png_, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(lr_Png_))) {
        png_destroy_write_struct(&lr_Png_, &lr_Info_);
        return false;
    }
    png_init_io(lr_Png_, file);
    png_set_IHDR(lr_Png_, lr_Info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(lr_Png_, lr_Info_);
    png_write_image(lr_Png_, rows);
    png_write_end(lr_Png_, nullptr);
    png_destroy_write_struct(&lr_Png_, &lr_Info_);
    return true;
}

// Any input converted to 8-bit RGB rows on the way in.
bool DecodeRows(FILE* file, Picture& out, PngErrorText& text) {
    png_structp lr_Png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &text, OnPngError, OnPngWarning);
    if (!lr_Png_) return false;
    png_infop lr_Info_ = png_create_info_struct(lr_Png_);
    if (!lr_Info_) {
        png_destroy_read_struct(&lr_Png_, nullptr, nullptr);
        return false;
    }
    // Room for the rows is made after setjmp; it belongs to `out`, not to this frame.
    if (setjmp(png_jmpbuf(lr_Png_))) {
        png_destroy_read_struct(&lr_Png_, &lr_Info_, nullptr);
        return false;
    }
    png_init_io(lr_Png_, file);
    png_read_info(lr_Png_, lr_Info_);
    const png_uint_32 lr_Width = png_get_image_width(lr_Png_, lr_Info_);
    const png_uint_32 lr_Height = png_get_image_height(lr_Png_, lr_Info_);
    const int lr_ColourType = png_get_color_type(lr_Png_, lr_Info_);
    const int lr_Depth = png_get_bit_depth(lr_Png_, lr_Info_);
    if (lr_Depth == 16) png_set_strip_16(lr_Png_);
    if (lr_ColourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(lr_Png_);
    if (lr_ColourType == PNG_COLOR_TYPE_GRAY && lr_Depth < 8) png_set_expand_gray_1_2_4_to_8(lr_Png_);
    if (lr_ColourType == PNG_COLOR_TYPE_GRAY || lr_ColourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(lr_Png_);
    if (lr_ColourType & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(lr_Png_);
    const int lr_Passes = png_set_interlace_handling(lr_Png_);
    png_read_update_info(lr_Png_, lr_Info_);
    const size_t lr_RowBytes = png_get_rowbytes(lr_Png_, lr_Info_);
    if (lr_RowBytes != static_cast<size_t>(lr_Width) * 3) png_error(lr_Png_, "unexpected row layout after conversion");
    if (lr_RowBytes * lr_Height > k_MaxPngBytes) png_error(lr_Png_, "image too large");
    out.Width = static_cast<int>(lr_Width);
    out.Height = static_cast<int>(lr_Height);
    // No exception may leave this frame past libpng's structs.
    bool lr_Allocated = true;
    try {
        out.Rgb.assign(lr_RowBytes * lr_Height, 0);
    } catch (const std::bad_alloc&) {
        lr_Allocated = false;
    }
    if (!lr_Allocated) png_error(lr_Png_, "out of memory");
    for (int lr_Pass = 0; lr_Pass < lr_Passes; ++lr_Pass)
        for (png_uint_32 y = 0; y < lr_Height; ++y) png_read_row(lr_Png_, out.Rgb.data() + y * lr_RowBytes, nullptr);
    png_read_end(lr_Png_, nullptr);
    png_destroy_read_struct(&lr_Png_, &lr_Info_, nullptr);
    return true;
}

std::string OpenError(const char* what, const std::string& path) {
    return std::string("cannot open ") + path + " for " + what + ": " + std::strerror(errno);
}

}  // namespace

bool WritePng(const std::string& path, const Picture& picture, std::string& error) {
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Rgb.size() != static_cast<size_t>(picture.Width) * picture.Height * 3) {
        error = "picture for " + path + " is empty or its size does not match its pixels";
        return false;
    }
    FilePtr lr_File(std::fopen(path.c_str(), "wb"));
    if (!lr_File) {
        error = OpenError("writing", path);
        return false;
    }
    // libpng takes rows as non-const pointers but does not write through them.
    std::vector<png_bytep> lr_Rows(static_cast<size_t>(picture.Height));
    png_bytep lr_Base_ = const_cast<png_bytep>(picture.Rgb.data());
    for (size_t y = 0; y < lr_Rows.size(); ++y) lr_Rows[y] = lr_Base_ + y * static_cast<size_t>(picture.Width) * 3;
    PngErrorText lr_Text;
    if (!EncodeRows(lr_File.get(), picture.Width, picture.Height, lr_Rows.data(), lr_Text)) {
        error = "cannot write " + path + ": " + (lr_Text.Text[0] ? lr_Text.Text : "libpng could not start");
        return false;
    }
    const bool lr_Flushed = std::fflush(lr_File.get()) == 0 && !std::ferror(lr_File.get());
    const bool lr_Closed = std::fclose(lr_File.release()) == 0;
    if (!lr_Flushed || !lr_Closed) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool ReadPng(const std::string& path, Picture& out, std::string& error) {
    out = Picture();
    FilePtr lr_File(std::fopen(path.c_str(), "rb"));
    if (!lr_File) {
        error = OpenError("reading", path);
        return false;
    }
    png_byte lr_Signature[8] = {};
    if (std::fread(lr_Signature, 1, sizeof lr_Signature, lr_File.get()) != sizeof lr_Signature ||
        png_sig_cmp(lr_Signature, 0, sizeof lr_Signature) != 0) {
        error = path + " is not a PNG file";
        return false;
    }
    std::rewind(lr_File.get());
    PngErrorText lr_Text;
    if (!DecodeRows(lr_File.get(), out, lr_Text)) {
        out = Picture();
        error = "cannot read " + path + ": " + (lr_Text.Text[0] ? lr_Text.Text : "libpng could not start");
        return false;
    }
    return true;
}
