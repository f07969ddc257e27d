#include "PassSequence.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

const char* const PassSequence::k_Shaders[6] = {"RenderBlack", "RenderDepth", "SSAO",
                                                "ZBlur",       "ShowTexture", "SamplePattern"};

namespace {

const UINT W = PassSequence::k_Width;
const UINT H = PassSequence::k_Height;
const int k_Slices = 10;

struct ColourVertex {
    float X, Y, Z, Rhw;
    D3DCOLOR Colour;
};
const DWORD k_ColourFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

// The screen masks' layout: pre-transformed, two texture coordinate sets.
struct QuadVertex {
    float X, Y, Z, Rhw, U0, V0, U1, V1;
};
const DWORD k_QuadFvf = D3DFVF_XYZRHW | D3DFVF_TEX2;

// Slice i lies at depth 1 - i/10 and carries that value; the scene's flat
// triangles lie exactly on slices 2, 5 and 8, so that equal depths are met.
float SliceDepth(int i) { return 1.0f - 0.1f * static_cast<float>(i); }

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Hex(HRESULT hr) {
    char lr_Text[16];
    std::snprintf(lr_Text, sizeof lr_Text, "0x%08X", static_cast<unsigned>(hr) & 0xFFFFFFFFu);
    return lr_Text;
}

void Check(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) throw Failure(what + " failed with " + Hex(hr));
}

template <class T>
class Held {
public:
    Held() = default;
    ~Held() {
        if (mr_Object_) mr_Object_->Release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T** Out() { return &mr_Object_; }
    T* Get() const { return mr_Object_; }

private:
    T* mr_Object_ = nullptr;
};

// A render-target texture and its level 0.
struct Target {
    Held<IDirect3DTexture9> Texture;
    Held<IDirect3DSurface9> Surface;
};

struct Binding {
    const char* Sampler;
    IDirect3DTexture9* Texture;
};

struct QuadLayout {
    float Offset = 0.5f;  // the half-pixel shift of the screen masks
    float UMin = 0.0f, VMin = 0.0f, UMax = 1.0f, VMax = 1.0f;
};

class Drawer {
public:
    Drawer(IDirect3DDevice9* device, const PassInputs& inputs, const PassSequence::Sink& sink)
        : mr_Device_(device), mr_Inputs(inputs), mr_Sink(sink) {}

    void Run() {
        CreateResources();
        Check(mr_Device_->BeginScene(), "BeginScene");
        DrawScenes();
        DrawSlices();
        DrawOcclusion();
        DrawSampling();
        DrawBlending();
        Check(mr_Device_->EndScene(), "EndScene");
    }

private:
    void MakeTarget(Target& target, D3DFORMAT format, const char* what) {
        Check(mr_Device_->CreateTexture(W, H, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, target.Texture.Out(),
                                        nullptr),
              std::string("CreateTexture (") + what + ")");
        Check(target.Texture.Get()->GetSurfaceLevel(0, target.Surface.Out()),
              std::string("GetSurfaceLevel (") + what + ")");
    }

    void FillTexture(Held<IDirect3DTexture9>& texture, const PassImage& image, const char* what) {
        Check(mr_Device_->CreateTexture(image.Width, image.Height, 1, 0, image.Format, D3DPOOL_MANAGED, texture.Out(),
                                        nullptr),
              std::string("CreateTexture (") + what + ")");
        D3DLOCKED_RECT lr_Locked = {};
        Check(texture.Get()->LockRect(0, &lr_Locked, nullptr, 0), std::string("LockRect (") + what + ")");
        const size_t lr_Row = static_cast<size_t>(image.Width) * image.BytesPerPixel;
        for (UINT y = 0; y < image.Height; ++y)
            std::memcpy(static_cast<unsigned char*>(lr_Locked.pBits) + static_cast<size_t>(y) * lr_Locked.Pitch,
                        &image.Bytes[y * lr_Row], lr_Row);
        texture.Get()->UnlockRect(0);
    }

    void CreateResources() {
        Check(mr_Device_->CreateDepthStencilSurface(W, H, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                    mr_DepthD24S8.Out(), nullptr),
              "CreateDepthStencilSurface (D24S8)");
        Check(mr_Device_->CreateDepthStencilSurface(W, H, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, FALSE, mr_DepthD16.Out(),
                                                    nullptr),
              "CreateDepthStencilSurface (D16)");
        MakeTarget(mr_Scene, D3DFMT_X8R8G8B8, "scene");
        MakeTarget(mr_SceneD16, D3DFMT_X8R8G8B8, "scene over D16");
        MakeTarget(mr_SceneCopy, D3DFMT_X8R8G8B8, "scene copy");
        MakeTarget(mr_DepthSlices, D3DFMT_X8R8G8B8, "depth slices");
        MakeTarget(mr_Scratch, D3DFMT_X8R8G8B8, "scratch");
        MakeTarget(mr_Occlusion, D3DFMT_X8R8G8B8, "occlusion");
        MakeTarget(mr_Blur, D3DFMT_X8R8G8B8, "blur");
        MakeTarget(mr_Float, D3DFMT_A16B16G16R16F, "A16B16G16R16F");
        FillTexture(mr_Noise, mr_Inputs.Noise, "noise");
        Held<IDirect3DTexture9>* const lr_Uploads[3] = {&mr_DepthSlicesInput, &mr_OcclusionInput, &mr_BlurInput};
        for (int i = 0; i < 3; ++i) {
            auto lr_Picture = mr_Inputs.Pictures.find(PassInputs::k_Pictures[i]);
            if (lr_Picture != mr_Inputs.Pictures.end())
                FillTexture(*lr_Uploads[i], lr_Picture->second, PassInputs::k_Pictures[i]);
        }

        PassImage lr_Pattern;
        lr_Pattern.Width = 16;
        lr_Pattern.Height = 12;
        lr_Pattern.Format = D3DFMT_A8R8G8B8;
        lr_Pattern.BytesPerPixel = 4;
        for (UINT y = 0; y < lr_Pattern.Height; ++y)
            for (UINT x = 0; x < lr_Pattern.Width; ++x) {
                const unsigned char lr_Pixel[4] = {
                    static_cast<unsigned char>((x * y * 7 + 40) & 255), static_cast<unsigned char>(y * 23),
                    static_cast<unsigned char>(x * 17), static_cast<unsigned char>(255 - (x + y) * 9)};
                lr_Pattern.Bytes.insert(lr_Pattern.Bytes.end(), lr_Pixel, lr_Pixel + 4);
            }
        FillTexture(mr_Pattern, lr_Pattern, "pattern");

        // The slices as the plug-in draws them: one indexed batch, far to near.
        std::vector<QuadVertex> lr_Vertices;
        for (int i = 0; i < k_Slices; ++i) {
            const float z = SliceDepth(i);
            AppendQuad(lr_Vertices, QuadLayout(), z, z);
        }
        const UINT lr_Bytes = static_cast<UINT>(lr_Vertices.size() * sizeof(QuadVertex));
        Check(mr_Device_->CreateVertexBuffer(lr_Bytes, D3DUSAGE_WRITEONLY, k_QuadFvf, D3DPOOL_MANAGED,
                                             mr_SliceVertices.Out(), nullptr),
              "CreateVertexBuffer");
        void* lr_Data = nullptr;
        Check(mr_SliceVertices.Get()->Lock(0, 0, &lr_Data, 0), "VertexBuffer Lock");
        std::memcpy(lr_Data, lr_Vertices.data(), lr_Bytes);
        mr_SliceVertices.Get()->Unlock();
        // Far to near as the plug-in draws them, then near to far: the last
        // slice that passes wins, so LESSEQUAL shows the farthest slice at or
        // in front of the scene only when drawn in that order.
        std::vector<WORD> lr_Indices;
        for (int n = 0; n < 2 * k_Slices; ++n) {
            const int i = n < k_Slices ? n : 2 * k_Slices - 1 - n;
            const WORD b = static_cast<WORD>(4 * i);
            const WORD lr_Quad[6] = {b, static_cast<WORD>(b + 1), static_cast<WORD>(b + 2),
                                     b, static_cast<WORD>(b + 2), static_cast<WORD>(b + 3)};
            lr_Indices.insert(lr_Indices.end(), lr_Quad, lr_Quad + 6);
        }
        Check(mr_Device_->CreateIndexBuffer(static_cast<UINT>(lr_Indices.size() * sizeof(WORD)), D3DUSAGE_WRITEONLY,
                                            D3DFMT_INDEX16, D3DPOOL_MANAGED, mr_SliceIndices.Out(), nullptr),
              "CreateIndexBuffer");
        Check(mr_SliceIndices.Get()->Lock(0, 0, &lr_Data, 0), "IndexBuffer Lock");
        std::memcpy(lr_Data, lr_Indices.data(), lr_Indices.size() * sizeof(WORD));
        mr_SliceIndices.Get()->Unlock();
    }

    static void AppendQuad(std::vector<QuadVertex>& vertices, const QuadLayout& layout, float z, float value) {
        const float l = -layout.Offset, t = -layout.Offset, r = W - layout.Offset, b = H - layout.Offset;
        vertices.push_back({l, t, z, 1.0f, layout.UMin, layout.VMin, value, value});
        vertices.push_back({r, t, z, 1.0f, layout.UMax, layout.VMin, value, value});
        vertices.push_back({r, b, z, 1.0f, layout.UMax, layout.VMax, value, value});
        vertices.push_back({l, b, z, 1.0f, layout.UMin, layout.VMax, value, value});
    }

    void SetTarget(IDirect3DSurface9* target, IDirect3DSurface9* depth) {
        Check(mr_Device_->SetRenderTarget(0, target), "SetRenderTarget");
        Check(mr_Device_->SetDepthStencilSurface(depth), "SetDepthStencilSurface");
    }

    void Emit(const std::string& name, IDirect3DSurface9* target) {
        PassImage lr_Image;
        std::string ls_Error;
        if (!PassImage::ReadBack(mr_Device_, target, lr_Image, ls_Error)) throw Failure(name + ": " + ls_Error);
        mr_Sink(name, lr_Image);
    }

    const PassShader& Shader(const char* name) {
        auto lr_Found = mr_Inputs.Shaders.find(name);
        if (lr_Found == mr_Inputs.Shaders.end()) throw Failure(std::string("no shader ") + name);
        return lr_Found->second;
    }

    // The pass's states as its effect sets them, its textures on the
    // registers its constant table names, and sddx when it has one.
    void BindShader(const PassShader& shader, const std::vector<Binding>& bindings) {
        Held<IDirect3DPixelShader9> lr_Shader;
        Check(mr_Device_->CreatePixelShader(shader.Tokens.data(), lr_Shader.Out()), "CreatePixelShader " + shader.Name);
        Check(mr_Device_->SetPixelShader(lr_Shader.Get()), "SetPixelShader");
        Check(mr_Device_->SetVertexShader(nullptr), "SetVertexShader");
        for (const auto& lr_State : shader.RenderStates)
            Check(mr_Device_->SetRenderState(lr_State.first, lr_State.second), "SetRenderState");
        for (const PassShader::SamplerState& lr_State : shader.SamplerStates)
            Check(mr_Device_->SetSamplerState(lr_State.Register, lr_State.Type, lr_State.Value), "SetSamplerState");
        for (DWORD i = 0; i < 8; ++i) mr_Device_->SetTexture(i, nullptr);
        for (const auto& lr_Sampler : shader.Samplers) {
            IDirect3DTexture9* lr_Texture_ = nullptr;
            bool lr_Known = false;
            for (const Binding& lr_Binding : bindings)
                if (lr_Sampler.first == lr_Binding.Sampler) {
                    lr_Texture_ = lr_Binding.Texture;
                    lr_Known = true;
                }
            if (!lr_Known)
                throw Failure(shader.Name + " samples " + lr_Sampler.first + ", which the comparison does not bind");
            Check(mr_Device_->SetTexture(lr_Sampler.second, lr_Texture_), "SetTexture");
        }
        auto lr_Sddx = shader.Constants.find("sddx");
        if (lr_Sddx != shader.Constants.end()) {
            const float lr_Value[4] = {1.0f / W, 1.0f / H, 0.0f, 0.0f};
            Check(mr_Device_->SetPixelShaderConstantF(lr_Sddx->second, lr_Value, 1), "SetPixelShaderConstantF");
        }
        // The device holds the shader while it is set.
    }

    void SamplerStateAll(const PassShader& shader, D3DSAMPLERSTATETYPE type, DWORD value) {
        for (const auto& lr_Sampler : shader.Samplers) mr_Device_->SetSamplerState(lr_Sampler.second, type, value);
    }

    void DrawQuad(const QuadLayout& layout) {
        std::vector<QuadVertex> lr_Corners;
        AppendQuad(lr_Corners, layout, 0.0f, 0.0f);
        const QuadVertex lr_Triangles[6] = {lr_Corners[0], lr_Corners[1], lr_Corners[2],
                                            lr_Corners[0], lr_Corners[2], lr_Corners[3]};
        Check(mr_Device_->SetFVF(k_QuadFvf), "SetFVF");
        Check(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, lr_Triangles, sizeof(QuadVertex)), "DrawPrimitiveUP");
    }

    void DrawScene(IDirect3DSurface9* target, IDirect3DSurface9* depth) {
        SetTarget(target, depth);
        Check(mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(90, 90, 110), 1.0f, 0),
              "Clear");
        mr_Device_->SetPixelShader(nullptr);
        mr_Device_->SetVertexShader(nullptr);
        mr_Device_->SetTexture(0, nullptr);
        mr_Device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        mr_Device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        mr_Device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        mr_Device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        mr_Device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        mr_Device_->SetRenderState(D3DRS_LIGHTING, FALSE);
        mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        mr_Device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        mr_Device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
        mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        // Flat triangles on slices 2, 8 and 5 (the blended one), one sloped
        // through several slices; edges through pixel centres try the fill rule.
        const ColourVertex lr_Opaque[] = {
            {3.3f, 45.7f, SliceDepth(2), 1.0f, D3DCOLOR_ARGB(255, 40, 80, 200)},
            {32.1f, 2.4f, SliceDepth(2), 1.0f, D3DCOLOR_ARGB(255, 40, 80, 200)},
            {61.6f, 44.2f, SliceDepth(2), 1.0f, D3DCOLOR_ARGB(255, 40, 80, 200)},
            {5.2f, 10.1f, 0.35f, 1.0f, D3DCOLOR_ARGB(255, 200, 180, 60)},
            {58.7f, 14.9f, 0.95f, 1.0f, D3DCOLOR_ARGB(255, 200, 180, 60)},
            {20.4f, 40.3f, 0.62f, 1.0f, D3DCOLOR_ARGB(255, 200, 180, 60)},
            {12.0f, 12.0f, SliceDepth(8), 1.0f, D3DCOLOR_ARGB(255, 220, 60, 40)},
            {38.0f, 12.0f, SliceDepth(8), 1.0f, D3DCOLOR_ARGB(255, 220, 60, 40)},
            {25.0f, 34.0f, SliceDepth(8), 1.0f, D3DCOLOR_ARGB(255, 220, 60, 40)},
        };
        Check(mr_Device_->SetFVF(k_ColourFvf), "SetFVF");
        Check(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 3, lr_Opaque, sizeof(ColourVertex)), "DrawPrimitiveUP");
        mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        mr_Device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        mr_Device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        const ColourVertex lr_Blended[] = {
            {30.5f, 20.5f, SliceDepth(5), 1.0f, D3DCOLOR_ARGB(96, 60, 200, 80)},
            {60.5f, 22.0f, SliceDepth(5), 1.0f, D3DCOLOR_ARGB(96, 60, 200, 80)},
            {44.0f, 46.5f, SliceDepth(5), 1.0f, D3DCOLOR_ARGB(96, 60, 200, 80)},
        };
        Check(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, lr_Blended, sizeof(ColourVertex)), "DrawPrimitiveUP");
        mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }

    void DrawScenes() {
        DrawScene(mr_Scene.Surface.Get(), mr_DepthD24S8.Get());
        Emit("scene_d24s8", mr_Scene.Surface.Get());
        DrawScene(mr_SceneD16.Surface.Get(), mr_DepthD16.Get());
        Emit("scene_d16", mr_SceneD16.Surface.Get());
        // The plug-in's copy of the scene.
        Check(
            mr_Device_->StretchRect(mr_Scene.Surface.Get(), nullptr, mr_SceneCopy.Surface.Get(), nullptr, D3DTEXF_NONE),
            "StretchRect");
    }

    void FillBlack(IDirect3DSurface9* target, IDirect3DSurface9* depth) {
        SetTarget(target, depth);
        // Red first, so that a fill that leaves pixels out shows.
        Check(mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(255, 0, 0), 1.0f, 0), "Clear");
        BindShader(Shader("RenderBlack"), {});
        DrawQuad(QuadLayout());
    }

    void DrawSlices() {
        FillBlack(mr_Scratch.Surface.Get(), mr_DepthD24S8.Get());
        Emit("black_fill", mr_Scratch.Surface.Get());

        struct Case {
            const char* Name;
            IDirect3DSurface9* Depth;
            D3DCMPFUNC Function;
            IDirect3DSurface9* Target;
            bool NearFirst;
        };
        const Case lr_Cases[] = {
            {"slices_d24s8_lessequal", mr_DepthD24S8.Get(), D3DCMP_LESSEQUAL, mr_Scratch.Surface.Get(), true},
            {"slices_d16_lessequal", mr_DepthD16.Get(), D3DCMP_LESSEQUAL, mr_Scratch.Surface.Get(), true},
            {"slices_d16_greaterequal", mr_DepthD16.Get(), D3DCMP_GREATEREQUAL, mr_Scratch.Surface.Get(), false},
            // Last, and kept: the occlusion pass reads it.
            {"slices_d24s8_greaterequal", mr_DepthD24S8.Get(), D3DCMP_GREATEREQUAL, mr_DepthSlices.Surface.Get(),
             false},
        };
        for (const Case& lr_Case : lr_Cases) {
            FillBlack(lr_Case.Target, lr_Case.Depth);
            // The slices' dither comes from the noise image.
            BindShader(Shader("RenderDepth"), {{"DitherSampler", mr_Noise.Get()}});
            mr_Device_->SetRenderState(D3DRS_ZFUNC, lr_Case.Function);
            Check(mr_Device_->SetFVF(k_QuadFvf), "SetFVF");
            Check(mr_Device_->SetStreamSource(0, mr_SliceVertices.Get(), 0, sizeof(QuadVertex)), "SetStreamSource");
            Check(mr_Device_->SetIndices(mr_SliceIndices.Get()), "SetIndices");
            Check(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4 * k_Slices,
                                                   lr_Case.NearFirst ? 6 * k_Slices : 0, 2 * k_Slices),
                  "DrawIndexedPrimitive");
            mr_Device_->SetStreamSource(0, nullptr, 0, 0);
            mr_Device_->SetIndices(nullptr);
            Emit(lr_Case.Name, lr_Case.Target);
        }
    }

    static IDirect3DTexture9* Input(const Held<IDirect3DTexture9>& upload, const Target& own) {
        return upload.Get() ? upload.Get() : own.Texture.Get();
    }

    void DrawOcclusion() {
        IDirect3DTexture9* lr_DepthSlices_ = Input(mr_DepthSlicesInput, mr_DepthSlices);
        const PassShader& lr_SSAO = Shader("SSAO");
        const std::vector<Binding> lr_Inputs = {{"DepthSampler", lr_DepthSlices_}, {"NoiseSampler", mr_Noise.Get()}};
        SetTarget(mr_Float.Surface.Get(), mr_DepthD24S8.Get());
        BindShader(lr_SSAO, lr_Inputs);
        DrawQuad(QuadLayout());
        Emit("occlusion_a16b16g16r16f", mr_Float.Surface.Get());

        SetTarget(mr_Occlusion.Surface.Get(), mr_DepthD24S8.Get());
        BindShader(lr_SSAO, lr_Inputs);
        DrawQuad(QuadLayout());
        Emit("occlusion", mr_Occlusion.Surface.Get());

        SetTarget(mr_Blur.Surface.Get(), mr_DepthD24S8.Get());
        BindShader(Shader("ZBlur"),
                   {{"OcclusionSampler", Input(mr_OcclusionInput, mr_Occlusion)}, {"DepthSampler", lr_DepthSlices_}});
        DrawQuad(QuadLayout());
        Emit("blur", mr_Blur.Surface.Get());

        SetTarget(mr_Scratch.Surface.Get(), mr_DepthD24S8.Get());
        BindShader(Shader("ShowTexture"), {{"SceneSampler", mr_SceneCopy.Texture.Get()},
                                           {"OcclusionSampler", Input(mr_BlurInput, mr_Blur)},
                                           {"DepthSampler", lr_DepthSlices_}});
        DrawQuad(QuadLayout());
        Emit("composite", mr_Scratch.Surface.Get());
    }

    void DrawPattern(const std::string& name, const Target& target, DWORD filter, DWORD address,
                     const QuadLayout& layout) {
        SetTarget(target.Surface.Get(), mr_DepthD24S8.Get());
        Check(mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 255, 0, 255), 1.0f, 0), "Clear");
        const PassShader& lr_Shader = Shader("SamplePattern");
        BindShader(lr_Shader, {{"PatternSampler", mr_Pattern.Get()}});
        SamplerStateAll(lr_Shader, D3DSAMP_MINFILTER, filter);
        SamplerStateAll(lr_Shader, D3DSAMP_MAGFILTER, filter);
        SamplerStateAll(lr_Shader, D3DSAMP_ADDRESSU, address);
        SamplerStateAll(lr_Shader, D3DSAMP_ADDRESSV, address);
        DrawQuad(layout);
        Emit(name, target.Surface.Get());
    }

    void DrawSampling() {
        QuadLayout lr_Exact;
        DrawPattern("sample_point_clamp", mr_Scratch, D3DTEXF_POINT, D3DTADDRESS_CLAMP, lr_Exact);
        DrawPattern("sample_linear_clamp", mr_Scratch, D3DTEXF_LINEAR, D3DTADDRESS_CLAMP, lr_Exact);
        // Twice the texture over the target, half of it outside 0..1.
        QuadLayout lr_Beyond;
        lr_Beyond.UMin = lr_Beyond.VMin = -0.5f;
        lr_Beyond.UMax = lr_Beyond.VMax = 1.5f;
        DrawPattern("sample_point_wrap", mr_Scratch, D3DTEXF_POINT, D3DTADDRESS_WRAP, lr_Beyond);
        DrawPattern("sample_linear_wrap", mr_Scratch, D3DTEXF_LINEAR, D3DTADDRESS_WRAP, lr_Beyond);
        DrawPattern("sample_linear_clamp_beyond", mr_Scratch, D3DTEXF_LINEAR, D3DTADDRESS_CLAMP, lr_Beyond);
        DrawPattern("sample_linear_wrap_a16b16g16r16f", mr_Float, D3DTEXF_LINEAR, D3DTADDRESS_WRAP, lr_Beyond);
        // Corners on pixel centres instead of pixel corners: what a forgotten
        // half-pixel shift does, and where a rasteriser's pixel centres are.
        QuadLayout lr_Unshifted;
        lr_Unshifted.Offset = 0.0f;
        lr_Unshifted.UMin = lr_Unshifted.VMin = -0.25f;
        lr_Unshifted.UMax = lr_Unshifted.VMax = 1.25f;
        DrawPattern("sample_linear_clamp_unshifted", mr_Scratch, D3DTEXF_LINEAR, D3DTADDRESS_CLAMP, lr_Unshifted);
    }

    void DrawBlended(const std::string& name, const Target& target) {
        SetTarget(target.Surface.Get(), mr_DepthD24S8.Get());
        Check(mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(200, 30, 160, 90), 1.0f, 0), "Clear");
        const PassShader& lr_Shader = Shader("SamplePattern");
        BindShader(lr_Shader, {{"PatternSampler", mr_Pattern.Get()}});
        mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        mr_Device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        mr_Device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        mr_Device_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        DrawQuad(QuadLayout());
        mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        Emit(name, target.Surface.Get());
    }

    void DrawBlending() {
        DrawBlended("blend_x8r8g8b8", mr_Scratch);
        DrawBlended("blend_a16b16g16r16f", mr_Float);
    }

    IDirect3DDevice9* mr_Device_;
    const PassInputs& mr_Inputs;
    const PassSequence::Sink& mr_Sink;
    Held<IDirect3DSurface9> mr_DepthD24S8, mr_DepthD16;
    Target mr_Scene, mr_SceneD16, mr_SceneCopy, mr_DepthSlices, mr_Scratch, mr_Occlusion, mr_Blur, mr_Float;
    Held<IDirect3DTexture9> mr_Noise, mr_Pattern, mr_DepthSlicesInput, mr_OcclusionInput, mr_BlurInput;
    Held<IDirect3DVertexBuffer9> mr_SliceVertices;
    Held<IDirect3DIndexBuffer9> mr_SliceIndices;
};

}  // namespace

const char* const PassInputs::k_Pictures[3] = {"DepthSlices", "Occlusion", "Blur"};

bool PassInputs::Load(const std::string& directory, bool withPictures, PassInputs& inputs, std::string& error) {
    for (const char* lr_Name : PassSequence::k_Shaders)
        if (!PassShader::Load(directory, lr_Name, inputs.Shaders[lr_Name], error)) return false;
    if (withPictures)
        for (const char* lr_Name : k_Pictures)
            if (!PassImage::Load(directory + "/" + lr_Name + ".pix", inputs.Pictures[lr_Name], error)) return false;
    return PassImage::Load(directory + "/Noise.pix", inputs.Noise, error);
}

bool PassSequence::Draw(IDirect3DDevice9* device, const PassInputs& inputs, const Sink& sink, std::string& error) {
    // The device's own targets come back as they were, whatever happened.
    IDirect3DSurface9* lr_Target_ = nullptr;
    IDirect3DSurface9* lr_Depth_ = nullptr;
    device->GetRenderTarget(0, &lr_Target_);
    device->GetDepthStencilSurface(&lr_Depth_);
    bool lr_Done = true;
    try {
        Drawer(device, inputs, sink).Run();
    } catch (const Failure& failure) {
        error = failure.what();
        lr_Done = false;
        device->EndScene();
    }
    device->SetRenderTarget(0, lr_Target_);
    device->SetDepthStencilSurface(lr_Depth_);
    for (DWORD i = 0; i < 8; ++i) device->SetTexture(i, nullptr);
    device->SetPixelShader(nullptr);
    if (lr_Target_) lr_Target_->Release();
    if (lr_Depth_) lr_Depth_->Release();
    return lr_Done;
}
