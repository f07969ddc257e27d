// One picture of all the demo's passes side by side, each labelled, for the
// README and for a quick look at a run.
#pragma once

#include "Picture.h"

#include <string>
#include <vector>

struct SheetTile {
    Picture Image;
    std::string Label;  // UTF-8
};

// The font for the labels; empty goes back to looking in the usual places.
void SetSheetFont(const std::string& path);
// The font the next sheet uses: the one set, or the first found; empty if none.
std::string SheetFontPath();

// Tiles scaled to tileWidth (aspect kept) in rows of `columns`, each with its
// label under it, and the title above them all when not empty. Without a font
// the sheet has no text and `error` says why; otherwise `error` is left empty.
// An empty picture comes back only for a tileWidth or columns below 1.
Picture MakeSheet(const std::vector<SheetTile>& tiles, int columns, int tileWidth, std::string& error,
                  const std::string& title = std::string());
