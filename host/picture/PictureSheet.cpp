#include "PictureSheet.h"

#include "SheetText.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace {

const uint8_t k_Background[3] = {38, 38, 40};
const uint8_t k_Frame[3] = {92, 92, 96};
const uint8_t k_EmptyTile[3] = {64, 24, 24};  // a pass that gave no picture

std::string& FontOverride() {
    static std::string ls_Path;
    return ls_Path;
}

// Debian's fonts-dejavu-core first, then where other systems keep it.
const char* const k_FontPlaces[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu-sans-fonts/DejaVuSans.ttf",
    "/usr/local/share/fonts/DejaVuSans.ttf",
};

void Fill(Picture& picture, int x, int y, int w, int h, const uint8_t colour[3]) {
    const int lr_X0 = std::max(x, 0), lr_X1 = std::min(x + w, picture.Width);
    const int lr_Y0 = std::max(y, 0), lr_Y1 = std::min(y + h, picture.Height);
    for (int py = lr_Y0; py < lr_Y1; ++py)
        for (int px = lr_X0; px < lr_X1; ++px)
            std::copy(colour, colour + 3, &picture.Rgb[(static_cast<size_t>(py) * picture.Width + px) * 3]);
}

void Paste(Picture& sheet, const Picture& tile, int x, int y) {
    for (int ty = 0; ty < tile.Height; ++ty) {
        const int lr_Y = y + ty;
        if (lr_Y < 0 || lr_Y >= sheet.Height) continue;
        const int lr_X0 = std::max(x, 0), lr_X1 = std::min(x + tile.Width, sheet.Width);
        if (lr_X0 >= lr_X1) continue;
        const uint8_t* lr_From_ = &tile.Rgb[(static_cast<size_t>(ty) * tile.Width + (lr_X0 - x)) * 3];
        std::copy(lr_From_, lr_From_ + (lr_X1 - lr_X0) * 3,
                  &sheet.Rgb[(static_cast<size_t>(lr_Y) * sheet.Width + lr_X0) * 3]);
    }
}

bool HasPixels(const Picture& image) { return image.Width > 0 && image.Height > 0; }

// 0 for a tile without a picture: it takes the height of its row.
int TileHeight(const Picture& image, int tileWidth) {
    if (!HasPixels(image)) return 0;
    const double lr_Height = std::round(static_cast<double>(tileWidth) * image.Height / image.Width);
    // A thin strip of a picture should not make a sheet kilometres tall.
    return static_cast<int>(std::clamp(lr_Height, 1.0, 4.0 * tileWidth));
}

}  // namespace

void SetSheetFont(const std::string& path) { FontOverride() = path; }

std::string SheetFontPath() {
    if (!FontOverride().empty()) return FontOverride();
    for (const char* lr_Place_ : k_FontPlaces)
        if (std::ifstream(lr_Place_, std::ios::binary)) return lr_Place_;
    return std::string();
}

Picture MakeSheet(const std::vector<SheetTile>& tiles, int columns, int tileWidth, std::string& error,
                  const std::string& title) {
    error.clear();
    if (columns < 1 || tileWidth < 1) {
        error = "a sheet needs at least one column and a tile width of at least one pixel";
        return Picture();
    }
    // Everything grows with the tiles, so that a sheet of thumbnails and one
    // for the README both read well.
    const int lr_LabelPixels = std::clamp(static_cast<int>(std::lround(tileWidth * 0.055)), 11, 24);
    const int lr_TitlePixels = lr_LabelPixels * 4 / 3;
    const int lr_Margin = std::clamp(tileWidth / 16, 8, 24);
    const int lr_LabelBand = lr_Margin / 2 + static_cast<int>(std::ceil(lr_LabelPixels * 1.25));
    const int lr_TitleBand = title.empty() ? 0 : static_cast<int>(std::ceil(lr_TitlePixels * 1.25)) + lr_Margin / 2;

    const int lr_Columns = std::min<int>(columns, std::max<int>(1, static_cast<int>(tiles.size())));
    const int lr_Rows = static_cast<int>((tiles.size() + lr_Columns - 1) / lr_Columns);
    std::vector<int> lr_RowHeights(lr_Rows, 0);
    for (size_t i = 0; i < tiles.size(); ++i)
        lr_RowHeights[i / lr_Columns] = std::max(lr_RowHeights[i / lr_Columns], TileHeight(tiles[i].Image, tileWidth));
    for (int& lr_RowHeight : lr_RowHeights)
        if (lr_RowHeight == 0) lr_RowHeight = tileWidth * 3 / 4;

    int lr_Height = lr_Margin + lr_TitleBand;
    for (int lr_RowHeight : lr_RowHeights) lr_Height += lr_RowHeight + lr_LabelBand + lr_Margin;
    const int lr_Width = lr_Margin + lr_Columns * (tileWidth + lr_Margin);
    Picture lr_Sheet = MakePicture(lr_Width, lr_Height, k_Background[0], k_Background[1], k_Background[2]);

    SheetText lr_Text;
    const std::string ls_Font = SheetFontPath();
    bool lr_HasText = false;
    if (ls_Font.empty())
        error = "no font for the sheet's labels (install fonts-dejavu-core or set one)";
    else
        lr_HasText = lr_Text.Open(ls_Font, error);

    if (lr_HasText && !title.empty() && lr_Text.SetPixelSize(lr_TitlePixels, error))
        lr_Text.Draw(lr_Sheet, lr_Margin, lr_Margin + static_cast<int>(std::lround(lr_TitlePixels * 0.95)),
                     lr_Text.Fit(title, lr_Width - 2 * lr_Margin));
    if (lr_HasText) lr_HasText = lr_Text.SetPixelSize(lr_LabelPixels, error);

    int lr_RowTop = lr_Margin + lr_TitleBand;
    for (int row = 0; row < lr_Rows; ++row) {
        const int lr_RowHeight = lr_RowHeights[row];
        for (int col = 0; col < lr_Columns; ++col) {
            const size_t lr_Index = static_cast<size_t>(row) * lr_Columns + col;
            if (lr_Index >= tiles.size()) break;
            const SheetTile& lr_Tile = tiles[lr_Index];
            const int lr_Left = lr_Margin + col * (tileWidth + lr_Margin);
            const int lr_TileHeight = HasPixels(lr_Tile.Image) ? TileHeight(lr_Tile.Image, tileWidth) : lr_RowHeight;
            const int lr_Top = lr_RowTop + (lr_RowHeight - lr_TileHeight) / 2;
            // A frame one pixel out, so that black passes stand out from the background.
            Fill(lr_Sheet, lr_Left - 1, lr_Top - 1, tileWidth + 2, lr_TileHeight + 2, k_Frame);
            if (HasPixels(lr_Tile.Image))
                Paste(lr_Sheet, ScalePicture(lr_Tile.Image, tileWidth, lr_TileHeight), lr_Left, lr_Top);
            else
                Fill(lr_Sheet, lr_Left, lr_Top, tileWidth, lr_TileHeight, k_EmptyTile);
            if (lr_HasText && !lr_Tile.Label.empty()) {
                const std::string ls_Label = lr_Text.Fit(lr_Tile.Label, tileWidth);
                const int lr_LabelLeft = lr_Left + (tileWidth - lr_Text.Measure(ls_Label)) / 2;
                const int lr_Baseline =
                    lr_RowTop + lr_RowHeight + lr_Margin / 2 + static_cast<int>(std::lround(lr_LabelPixels * 0.95));
                lr_Text.Draw(lr_Sheet, lr_LabelLeft, lr_Baseline, ls_Label);
            }
        }
        lr_RowTop += lr_RowHeight + lr_LabelBand + lr_Margin;
    }
    return lr_Sheet;
}
