// Resizing for the D3DX texture loaders, done on a stream of rows: it holds
// a few rows of the output, never a whole image, so that a large file can be
// loaded into a small texture and a mip chain made while level 0 is filled.
#pragma once

#include "texture/ImageRowSink.h"

#include <vector>

namespace softd3dx {

// Takes sourceWidth x sourceHeight rows and sends width x height rows to
// `out`. Equal sizes pass through; D3DX_FILTER_NONE copies the overlap and
// leaves the rest transparent black, D3DX_FILTER_POINT samples, every other
// filter averages the covered source area.
class ImageRowScaler : public IImageRowSink {
public:
    ImageRowScaler(UINT sourceWidth, UINT sourceHeight, UINT width, UINT height, DWORD filter, IImageRowSink& out);

    void Rows(UINT y, UINT count, const DWORD* argb) override;
    // Sends the output rows no source row reaches; call once all rows are in.
    void Finish();

    // Source indices covering each output index along one axis, and their shares.
    struct Axis {
        std::vector<UINT> First;      // first source index per output index
        std::vector<UINT> Count;      // number of source indices
        std::vector<size_t> Start;    // offset into Weights per output index
        std::vector<double> Weights;  // Count[d] per output index
    };

private:
    enum class Kind { Copy, None, Point, Area };

    // An output row some of whose source rows have arrived.
    struct Partial {
        UINT Row = 0;
        UINT Received = 0;
        std::vector<double> Sum;  // four channels per pixel
    };

    void AreaRows(UINT y, UINT count, const DWORD* argb);
    Partial& PartialFor(UINT row);

    UINT mr_SourceWidth, mr_SourceHeight, mr_Width, mr_Height;
    Kind mr_Kind;
    IImageRowSink& mr_Out;
    Axis mr_X, mr_Y;
    std::vector<DWORD> mr_Row;          // one output row
    std::vector<double> mr_Horizontal;  // a source row resized across, four channels per pixel
    std::vector<Partial> mr_Partials;   // open output rows
    std::vector<Partial> mr_Spare;      // closed ones, kept for their memory
};

}  // namespace softd3dx
