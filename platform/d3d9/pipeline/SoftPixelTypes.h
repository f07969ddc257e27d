// What the rasteriser, the pixel-shader interpreter and the samplers hand
// each other. Pixels are shaded in 2x2 quads (lanes 0 1 / 2 3), so that
// derivatives and the mip level come from neighbouring pixels as on hardware.
#pragma once

#include <d3d9.h>

inline void SoftSetVector(float out[4], float x, float y, float z, float w) {
    out[0] = x;
    out[1] = y;
    out[2] = z;
    out[3] = w;
}

// Interpolated attributes of one pixel, by fixed-function meaning. A
// ps_2_x shader reads v0/v1 and t0..t7 from these; a ps_3_0 shader maps its
// dcl_color/dcl_texcoord inputs onto them by usage index.
struct SoftPixelInputs {
    float Color[2][4];     // diffuse, specular (0..1, saturated)
    float TexCoord[8][4];  // missing components are (0, 0, 0, 1) padding as the runtime does
    float Position[4];     // x, y of the pixel centre, z, 1/w (vPos of ps_3_0 reads x, y)
    bool FrontFace;        // vFace of ps_3_0
};

// What the shader produced for one pixel.
struct SoftPixelOutputs {
    float Color[4][4];  // oC0..oC3
    float Depth;        // oDepth when written
    bool DepthWritten;
    bool Killed;  // texkill
};

// How a sample chooses its mip level.
enum class SoftLodMode {
    Implicit,  // from the derivatives (texld, texldp, texldd)
    Bias,      // from the derivatives plus a bias (texldb)
    Explicit,  // the given level (texldl)
};

// Texture reads of a shader or of the fixed-function stages.
class ISoftTextureSampler {
public:
    // Samples sampler `stage` at `coord` (u, v, w; already divided for
    // texldp). `ddx`/`ddy` are the coordinate derivatives per pixel step in
    // x and y; `lod` is the bias or the explicit level. `out` receives RGBA
    // with Direct3D 9's defaults for channels the format lacks; an unbound
    // stage reads (0, 0, 0, 1).
    virtual void Sample(UINT stage, const float coord[4], const float ddx[4], const float ddy[4], SoftLodMode mode,
                        float lod, float out[4]) = 0;

protected:
    ~ISoftTextureSampler() = default;
};

// Constant registers a pixel shader reads (the device's current values).
struct SoftPixelConstants {
    const float (*Float)[4];  // 224 registers
    const int (*Int)[4];      // 16
    const BOOL* Bool;         // 16
};
