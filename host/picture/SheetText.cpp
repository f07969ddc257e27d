#include "SheetText.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <vector>

namespace {

// FreeType's own error texts, from its header; the library is built without FT_Error_String.
struct FreeTypeError {
    int Code;
    const char* Text;
};
// clang-format off
#undef FTERRORS_H_
#define FT_ERRORDEF(e, v, s) {e, s},
#define FT_ERROR_START_LIST {
#define FT_ERROR_END_LIST {0, nullptr}}
const FreeTypeError k_FreeTypeErrors[] =
#include FT_ERRORS_H
;
// clang-format on

std::string FreeTypeErrorText(FT_Error code) {
    for (const FreeTypeError& lr_Error : k_FreeTypeErrors)
        if (lr_Error.Text && lr_Error.Code == code) return lr_Error.Text;
    return "FreeType error " + std::to_string(code);
}

// Invalid bytes read as U+FFFD, so a bad label still shows where it is bad.
std::vector<char32_t> DecodeUtf8(const std::string& text) {
    std::vector<char32_t> lr_Points;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lr_Lead = static_cast<unsigned char>(text[i]);
        const int lr_Extra = lr_Lead < 0x80         ? 0
                             : (lr_Lead >> 5) == 6  ? 1
                             : (lr_Lead >> 4) == 14 ? 2
                             : (lr_Lead >> 3) == 30 ? 3
                                                    : -1;
        char32_t lr_Point = lr_Extra == 0   ? lr_Lead
                            : lr_Extra == 1 ? lr_Lead & 0x1F
                            : lr_Extra == 2 ? lr_Lead & 0x0F
                                            : lr_Lead & 0x07;
        bool lr_Valid = lr_Extra >= 0 && i + lr_Extra < text.size();
        for (int k = 1; lr_Valid && k <= lr_Extra; ++k) {
            const unsigned char lr_Next = static_cast<unsigned char>(text[i + k]);
            lr_Valid = (lr_Next & 0xC0) == 0x80;
            lr_Point = (lr_Point << 6) | (lr_Next & 0x3F);
        }
        lr_Points.push_back(lr_Valid ? lr_Point : 0xFFFD);
        i += lr_Valid ? 1 + lr_Extra : 1;
    }
    return lr_Points;
}

// Walks the line's glyphs from `pen` (26.6 fixed point), with kerning: each
// glyph loaded with `loadFlags` is handed to `onGlyph` with the pen at its
// origin. Returns the pen after the last glyph.
template <typename GlyphFunction>
FT_Pos WalkGlyphs(FT_Face face, const std::string& utf8, FT_Int32 loadFlags, FT_Pos pen, GlyphFunction onGlyph) {
    FT_UInt lr_Previous = 0;
    for (char32_t lr_Point : DecodeUtf8(utf8)) {
        const FT_UInt lr_Glyph = FT_Get_Char_Index(face, lr_Point);
        if (lr_Previous && lr_Glyph && FT_HAS_KERNING(face)) {
            FT_Vector lr_Kern;
            if (!FT_Get_Kerning(face, lr_Previous, lr_Glyph, FT_KERNING_DEFAULT, &lr_Kern)) pen += lr_Kern.x;
        }
        if (FT_Load_Glyph(face, lr_Glyph, loadFlags)) continue;
        onGlyph(face->glyph, pen);
        pen += face->glyph->advance.x;
        lr_Previous = lr_Glyph;
    }
    return pen;
}

}  // namespace

struct SheetText::Fonts {
    FT_Library Library_ = nullptr;
    FT_Face Face_ = nullptr;
    ~Fonts() {
        if (Face_) FT_Done_Face(Face_);
        if (Library_) FT_Done_FreeType(Library_);
    }
};

SheetText::SheetText() : mr_Fonts(new Fonts) {}
SheetText::~SheetText() = default;

bool SheetText::Open(const std::string& fontPath, std::string& error) {
    mr_Fonts.reset(new Fonts);
    FT_Error lr_Code = FT_Init_FreeType(&mr_Fonts->Library_);
    if (lr_Code) {
        mr_Fonts->Library_ = nullptr;
        error = "FreeType did not start: " + FreeTypeErrorText(lr_Code);
        return false;
    }
    lr_Code = FT_New_Face(mr_Fonts->Library_, fontPath.c_str(), 0, &mr_Fonts->Face_);
    if (lr_Code) {
        mr_Fonts->Face_ = nullptr;
        error = "cannot load the font " + fontPath + ": " + FreeTypeErrorText(lr_Code);
        return false;
    }
    return true;
}

bool SheetText::SetPixelSize(int pixels, std::string& error) {
    if (!mr_Fonts->Face_) return false;
    const FT_Error lr_Code = FT_Set_Pixel_Sizes(mr_Fonts->Face_, 0, static_cast<FT_UInt>(pixels));
    if (lr_Code) error = "cannot set the font size " + std::to_string(pixels) + ": " + FreeTypeErrorText(lr_Code);
    return lr_Code == 0;
}

int SheetText::Measure(const std::string& utf8) {
    FT_Face lr_Face_ = mr_Fonts->Face_;
    if (!lr_Face_) return 0;
    const FT_Pos lr_Pen = WalkGlyphs(lr_Face_, utf8, FT_LOAD_DEFAULT, 0, [](FT_GlyphSlot, FT_Pos) {});
    return static_cast<int>((lr_Pen + 63) / 64);
}

std::string SheetText::Fit(const std::string& utf8, int maxWidth) {
    if (Measure(utf8) <= maxWidth) return utf8;
    static const std::string k_Ellipsis = "\xE2\x80\xA6";
    std::string ls_Cut = utf8;
    while (!ls_Cut.empty()) {
        // Drop one whole UTF-8 sequence from the end.
        size_t lr_End = ls_Cut.size() - 1;
        while (lr_End > 0 && (static_cast<unsigned char>(ls_Cut[lr_End]) & 0xC0) == 0x80) --lr_End;
        ls_Cut.erase(lr_End);
        while (!ls_Cut.empty() && ls_Cut.back() == ' ') ls_Cut.pop_back();
        if (Measure(ls_Cut + k_Ellipsis) <= maxWidth) return ls_Cut + k_Ellipsis;
    }
    return std::string();
}

void SheetText::Draw(Picture& picture, int x, int baseline, const std::string& utf8) {
    FT_Face lr_Face_ = mr_Fonts->Face_;
    if (!lr_Face_) return;
    WalkGlyphs(lr_Face_, utf8, FT_LOAD_RENDER, static_cast<FT_Pos>(x) * 64, [&](FT_GlyphSlot lr_Slot_, FT_Pos lr_Pen) {
        const FT_Bitmap& lr_Bitmap = lr_Slot_->bitmap;
        if (lr_Bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return;
        const int lr_Left = static_cast<int>((lr_Pen + 32) / 64) + lr_Slot_->bitmap_left;
        const int lr_Top = baseline - lr_Slot_->bitmap_top;
        for (unsigned int row = 0; row < lr_Bitmap.rows; ++row) {
            const int lr_Y = lr_Top + static_cast<int>(row);
            if (lr_Y < 0 || lr_Y >= picture.Height) continue;
            const unsigned char* lr_Coverage_ = lr_Bitmap.buffer + static_cast<ptrdiff_t>(row) * lr_Bitmap.pitch;
            for (unsigned int col = 0; col < lr_Bitmap.width; ++col) {
                const int lr_X = lr_Left + static_cast<int>(col);
                const unsigned lr_Alpha = lr_Coverage_[col];
                if (lr_X < 0 || lr_X >= picture.Width || lr_Alpha == 0) continue;
                uint8_t* lr_Pixel_ = &picture.Rgb[(static_cast<size_t>(lr_Y) * picture.Width + lr_X) * 3];
                for (int c = 0; c < 3; ++c)
                    lr_Pixel_[c] = static_cast<uint8_t>(lr_Pixel_[c] + ((255u - lr_Pixel_[c]) * lr_Alpha + 127) / 255);
            }
        }
    });
}
