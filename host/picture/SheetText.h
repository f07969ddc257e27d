// One line of UTF-8 text drawn into a picture with FreeType: anti-aliased
// grey-scale glyphs blended towards white.
#pragma once

#include "Picture.h"

#include <memory>
#include <string>

class SheetText {
public:
    SheetText();
    ~SheetText();
    SheetText(const SheetText&) = delete;
    SheetText& operator=(const SheetText&) = delete;

    // False with the reason in `error` when FreeType or the font fails.
    bool Open(const std::string& fontPath, std::string& error);
    bool SetPixelSize(int pixels, std::string& error);
    // Width in pixels of the line as drawn.
    int Measure(const std::string& utf8);
    // The longest start of the line, with an ellipsis when cut, that fits maxWidth.
    std::string Fit(const std::string& utf8, int maxWidth);
    // x is the left of the pen, baseline the row the glyphs stand on.
    void Draw(Picture& picture, int x, int baseline, const std::string& utf8);

private:
    struct Fonts;
    std::unique_ptr<Fonts> mr_Fonts;
};
