// The plug-in's passes drawn the same way on any Direct3D 9 device, so that
// the software device's pictures can be set beside a real implementation's:
// a scene with its depth (D24S8 and D16), the black fill, the depth slices
// (LESSEQUAL and GREATEREQUAL against each), the occlusion pass with the
// noise texture, a blur pass, the composite, and sampling and blending cases
// (POINT and LINEAR, CLAMP and WRAP, with and without the half-pixel offset,
// X8R8G8B8 and A16B16G16R16F targets). Each target is read back as drawn.
// The pictures named in PassInputs::k_Pictures are also the input of a
// later pass: "slices_d24s8_greaterequal" (DepthSlices), "occlusion"
// (Occlusion), "blur" (Blur).
#pragma once

#include "PassImage.h"
#include "PassShader.h"

#include <d3d9.h>

#include <functional>
#include <map>
#include <string>

struct PassInputs {
    std::map<std::string, PassShader> Shaders;  // by effect name
    PassImage Noise;                            // the noise image as a host loads it
    // What the occlusion, blur and composite passes read instead of the
    // device's own results (DepthSlices, Occlusion, Blur): a one-step
    // difference upstream would show as a large one downstream, so each pass
    // is compared on the same input pixels. Without them the passes read
    // the device's own.
    std::map<std::string, PassImage> Pictures;

    static const char* const k_Pictures[3];
    // Every shader the sequence draws with, Noise.pix and, when asked for,
    // the input pictures, from one directory.
    static bool Load(const std::string& directory, bool withPictures, PassInputs& inputs, std::string& error);
};

class PassSequence {
public:
    static constexpr UINT k_Width = 64;
    static constexpr UINT k_Height = 48;
    // The effects whose first pass is drawn, by file name without ".hlsl".
    static const char* const k_Shaders[6];

    using Sink = std::function<void(const std::string& name, const PassImage& image)>;

    // Draws every case in a fixed order, handing each read-back target to
    // sink; false with the first failure's text.
    static bool Draw(IDirect3DDevice9* device, const PassInputs& inputs, const Sink& sink, std::string& error);
};
