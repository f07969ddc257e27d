// D3DX BMP loading onto the software device with the default arguments
// (full mip chain): a few bytes of RLE that claim a large image and end the
// bitmap after one row, and a plain 24-bit image of the same size.
#include "SoftTestDevice.h"

#include <d3dx9.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

void PutU32(std::vector<BYTE>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<BYTE>(value >> (8 * i));
}

// BITMAPINFOHEADER file of side x side; RLE8 with a two-colour palette, or 24-bit grey rows.
std::vector<BYTE> BmpFile(UINT side, bool rle) {
    std::vector<BYTE> lr_File(54, 0);
    lr_File[0] = 'B';
    lr_File[1] = 'M';
    PutU32(lr_File, 14, 40);
    PutU32(lr_File, 18, side);
    PutU32(lr_File, 22, side);
    lr_File[26] = 1;
    lr_File[28] = rle ? 8 : 24;
    PutU32(lr_File, 30, rle ? 1 : 0);
    if (rle) {
        PutU32(lr_File, 46, 2);
        const BYTE lr_Rest[] = {0, 0, 0, 0, 0, 255, 0, 0, 255, 1, 0, 0, 0, 1};  // palette; a run; EOL; EOB
        lr_File.insert(lr_File.end(), std::begin(lr_Rest), std::end(lr_Rest));
        PutU32(lr_File, 10, 54 + 8);
    } else {
        PutU32(lr_File, 10, 54);
        lr_File.resize(54 + static_cast<size_t>((side * 3 + 3) & ~3u) * side, 0x80);
    }
    PutU32(lr_File, 2, static_cast<uint32_t>(lr_File.size()));
    return lr_File;
}

void LoadBmp(benchmark::State& state, bool rle) {
    const ScopedSoftDevice lr_Scoped(64, 64);
    IDirect3DDevice9* lr_Device_ = lr_Scoped.Get();
    if (!lr_Device_) {
        state.SkipWithError("no device");
        return;
    }
    const std::vector<BYTE> lr_File = BmpFile(static_cast<UINT>(state.range(0)), rle);
    for (auto _ : state) {
        IDirect3DTexture9* lr_Texture_ = nullptr;
        if (FAILED(D3DXCreateTextureFromFileInMemory(lr_Device_, lr_File.data(), static_cast<UINT>(lr_File.size()),
                                                     &lr_Texture_))) {
            state.SkipWithError("load failed");
            return;
        }
        lr_Texture_->Release();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}

void BM_LoadRleMostlyEndOfBitmap(benchmark::State& state) { LoadBmp(state, true); }
void BM_Load24Bit(benchmark::State& state) { LoadBmp(state, false); }

}  // namespace

BENCHMARK(BM_LoadRleMostlyEndOfBitmap)->Arg(1024)->Arg(16384)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load24Bit)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
