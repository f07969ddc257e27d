#include "texture/ImageRowScaler.h"

#include <d3dx9tex.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace softd3dx {
namespace {

ImageRowScaler::Axis AreaAxis(UINT source, UINT dest) {
    ImageRowScaler::Axis lr_A;
    const double lr_Ratio = static_cast<double>(source) / dest;
    for (UINT d = 0; d < dest; ++d) {
        const double lr_Lo = d * lr_Ratio;
        const double lr_Hi = (d + 1) * lr_Ratio;
        const UINT lr_First = std::min(static_cast<UINT>(lr_Lo), source - 1);
        const UINT lr_Last = std::max(std::min(static_cast<UINT>(std::ceil(lr_Hi)), source), lr_First + 1);
        lr_A.First.push_back(lr_First);
        lr_A.Count.push_back(lr_Last - lr_First);
        lr_A.Start.push_back(lr_A.Weights.size());
        for (UINT s = lr_First; s < lr_Last; ++s) {
            const double lr_Overlap = std::min<double>(s + 1, lr_Hi) - std::max<double>(s, lr_Lo);
            lr_A.Weights.push_back(std::max(lr_Overlap, 0.0) / lr_Ratio);
        }
    }
    return lr_A;
}

DWORD RoundPixel(const double* sum) {
    DWORD lr_Pixel = 0;
    for (int c = 0; c < 4; ++c) lr_Pixel |= static_cast<DWORD>(std::clamp(std::lround(sum[c]), 0L, 255L)) << (8 * c);
    return lr_Pixel;
}

}  // namespace

ImageRowScaler::ImageRowScaler(UINT sourceWidth, UINT sourceHeight, UINT width, UINT height, DWORD filter,
                               IImageRowSink& out)
    : mr_SourceWidth(sourceWidth), mr_SourceHeight(sourceHeight), mr_Width(width), mr_Height(height), mr_Out(out) {
    const DWORD lr_Kind = filter & 0xffff;
    if (sourceWidth == width && sourceHeight == height)
        mr_Kind = Kind::Copy;
    else if (lr_Kind == D3DX_FILTER_NONE)
        mr_Kind = Kind::None;
    else if (lr_Kind == D3DX_FILTER_POINT)
        mr_Kind = Kind::Point;
    else
        mr_Kind = Kind::Area;
    if (mr_Kind == Kind::Copy) return;
    mr_Row.assign(width, 0);
    if (mr_Kind == Kind::Area) {
        mr_X = AreaAxis(sourceWidth, width);
        mr_Y = AreaAxis(sourceHeight, height);
        mr_Horizontal.assign(static_cast<size_t>(width) * 4, 0.0);
    }
}

void ImageRowScaler::Rows(UINT y, UINT count, const DWORD* argb) {
    switch (mr_Kind) {
    case Kind::Copy: mr_Out.Rows(y, count, argb); return;
    case Kind::None: {
        if (y >= mr_Height) return;
        const UINT lr_Overlap = std::min(mr_Width, mr_SourceWidth);
        std::copy(argb, argb + lr_Overlap, mr_Row.begin());
        std::fill(mr_Row.begin() + lr_Overlap, mr_Row.end(), 0u);
        mr_Out.Rows(y, std::min(count, mr_Height - y), mr_Row.data());
        return;
    }
    case Kind::Point: {
        // Output row d samples source row d * sourceHeight / height.
        const auto lr_FirstReaching = [&](uint64_t source) {
            return static_cast<UINT>(
                std::min<uint64_t>((source * mr_Height + mr_SourceHeight - 1) / mr_SourceHeight, mr_Height));
        };
        const UINT lr_From = lr_FirstReaching(y);
        const UINT lr_To = lr_FirstReaching(static_cast<uint64_t>(y) + count);
        if (lr_From >= lr_To) return;
        for (UINT x = 0; x < mr_Width; ++x)
            mr_Row[x] = argb[static_cast<size_t>((static_cast<uint64_t>(x) * mr_SourceWidth) / mr_Width)];
        mr_Out.Rows(lr_From, lr_To - lr_From, mr_Row.data());
        return;
    }
    case Kind::Area: AreaRows(y, count, argb); return;
    }
}

void ImageRowScaler::AreaRows(UINT y, UINT count, const DWORD* argb) {
    std::fill(mr_Horizontal.begin(), mr_Horizontal.end(), 0.0);
    for (UINT x = 0; x < mr_Width; ++x) {
        double* lr_Sum = mr_Horizontal.data() + static_cast<size_t>(x) * 4;
        for (UINT i = 0; i < mr_X.Count[x]; ++i) {
            const double lr_W = mr_X.Weights[mr_X.Start[x] + i];
            const DWORD p = argb[mr_X.First[x] + i];
            for (int c = 0; c < 4; ++c) lr_Sum[c] += lr_W * ((p >> (8 * c)) & 0xff);
        }
    }

    // Output rows this block reaches, then those it covers whole.
    const UINT lr_End = y + count;
    UINT lr_Lo = 0, lr_Hi = mr_Height;
    while (lr_Lo < lr_Hi) {
        const UINT m = lr_Lo + (lr_Hi - lr_Lo) / 2;
        if (mr_Y.First[m] + mr_Y.Count[m] <= y)
            lr_Lo = m + 1;
        else
            lr_Hi = m;
    }
    const UINT lr_From = lr_Lo;
    lr_Hi = mr_Height;
    while (lr_Lo < lr_Hi) {
        const UINT m = lr_Lo + (lr_Hi - lr_Lo) / 2;
        if (mr_Y.First[m] < lr_End)
            lr_Lo = m + 1;
        else
            lr_Hi = m;
    }
    const UINT lr_To = lr_Lo;

    UINT lr_WholeFrom = lr_To, lr_WholeTo = lr_To;
    for (UINT d = lr_From; d < lr_To; ++d) {
        const UINT lr_First = mr_Y.First[d];
        const UINT lr_Last = lr_First + mr_Y.Count[d];
        if (lr_First >= y && lr_Last <= lr_End) {
            // All its source rows are this one: the weights sum to one.
            if (lr_WholeFrom == lr_To) lr_WholeFrom = d;
            lr_WholeTo = d + 1;
            continue;
        }
        Partial& lr_P = PartialFor(d);
        for (UINT s = std::max(lr_First, y); s < std::min(lr_Last, lr_End); ++s) {
            const double lr_W = mr_Y.Weights[mr_Y.Start[d] + (s - lr_First)];
            for (size_t i = 0; i < lr_P.Sum.size(); ++i) lr_P.Sum[i] += lr_W * mr_Horizontal[i];
            ++lr_P.Received;
        }
        if (lr_P.Received == mr_Y.Count[d]) {
            for (UINT x = 0; x < mr_Width; ++x) mr_Row[x] = RoundPixel(lr_P.Sum.data() + static_cast<size_t>(x) * 4);
            mr_Out.Rows(d, 1, mr_Row.data());
            const auto lr_At =
                std::find_if(mr_Partials.begin(), mr_Partials.end(), [d](const Partial& p) { return p.Row == d; });
            mr_Spare.push_back(std::move(*lr_At));
            mr_Partials.erase(lr_At);
        }
    }
    if (lr_WholeFrom < lr_WholeTo) {
        for (UINT x = 0; x < mr_Width; ++x) mr_Row[x] = RoundPixel(mr_Horizontal.data() + static_cast<size_t>(x) * 4);
        mr_Out.Rows(lr_WholeFrom, lr_WholeTo - lr_WholeFrom, mr_Row.data());
    }
}

ImageRowScaler::Partial& ImageRowScaler::PartialFor(UINT row) {
    for (Partial& lr_P : mr_Partials)
        if (lr_P.Row == row) return lr_P;
    Partial lr_New;
    if (!mr_Spare.empty()) {
        lr_New = std::move(mr_Spare.back());
        mr_Spare.pop_back();
    }
    lr_New.Row = row;
    lr_New.Received = 0;
    lr_New.Sum.assign(static_cast<size_t>(mr_Width) * 4, 0.0);
    mr_Partials.push_back(std::move(lr_New));
    return mr_Partials.back();
}

void ImageRowScaler::Finish() {
    if (mr_Kind == Kind::None && mr_SourceHeight < mr_Height) {
        std::fill(mr_Row.begin(), mr_Row.end(), 0u);
        mr_Out.Rows(mr_SourceHeight, mr_Height - mr_SourceHeight, mr_Row.data());
    }
}

}  // namespace softd3dx
