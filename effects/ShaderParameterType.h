// Type code of an effect parameter as the framework sees it. Scoped, so that
// names as common as None, Bool or String stay out of the global namespace;
// the underlying type and the values are those the interface tables pass.
#pragma once

#include <cstdint>

enum class ShaderParameterType : int32_t {
    Float = 0,
    Float2 = 1,
    Float3 = 2,
    Float4 = 3,
    Float4Array = 4,
    Float3Array = 5,
    Float2Array = 6,
    FloatArray = 7,
    IntArray = 8,
    Texture1D = 9,
    Texture2D = 10,
    Texture3D = 11,
    TextureCube = 12,
    Matrix = 13,
    Int = 14,
    Bool = 15,
    String = 16,
    // 17 and 18 are not assigned.
    Any = 19
};

static_assert(sizeof(ShaderParameterType) == 4, "passed across the module boundary as a 32-bit value");
