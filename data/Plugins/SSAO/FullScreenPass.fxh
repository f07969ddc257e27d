// FullScreenPass.fxh: the states a full-screen pass of the plug-in sets, so
// that nothing the host left on (depth, stencil, blending, alpha test, fog,
// scissor, sRGB writes, clip planes, culling, wireframe, write masks) changes
// what the quad draws. Pre-transformed quads have no vertex shader.

// What every pass sets, whether it tests depth or not.
#define PASS_BASE_STATES              \
    VertexShader = NULL;              \
    ZWriteEnable = false;             \
    StencilEnable = false;            \
    SeparateAlphaBlendEnable = false; \
    AlphaTestEnable = false;          \
    FogEnable = false;                \
    ScissorTestEnable = false;        \
    SRGBWriteEnable = false;          \
    ClipPlaneEnable = 0;              \
    CullMode = None;                  \
    FillMode = Solid;

#define FULL_SCREEN_PASS_STATES \
    PASS_BASE_STATES            \
    ZEnable = false;            \
    AlphaBlendEnable = false;   \
    ColorWriteEnable = Red | Green | Blue | Alpha;
