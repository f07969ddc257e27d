#include "OcclusionProbes.h"

#include <cstdio>
#include <vector>

namespace {

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};
const DWORD k_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

// ps_2_0: mov oC0, c0; mov oDepth, c1.x. A probe at the depth it is given.
const DWORD k_DepthProbe[] = {0xFFFF0200u, 0x02000001u, 0x800F0800u, 0xA0E40000u,
                              0x02000001u, 0x900F0800u, 0xA0000001u, 0x0000FFFFu};

// Bands of the known depth: x below 20, below 40, the rest. The probes'
// columns (every 4 pixels from 1) never straddle a boundary.
const int k_Bands[] = {0, 20, 40, static_cast<int>(OcclusionProbes::k_Width)};
const float k_BandDepths[] = {0.2f, 0.5f, 1.0f};

// Releases what it holds when it goes.
template <class T>
struct Held {
    T* Object_ = nullptr;
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() {
        if (Object_) Object_->Release();
    }
};

// The pixels [left, right) x [top, bottom) exactly: corners half a pixel
// off the centres, so no rasteriser rule decides an edge pixel.
void AddRect(std::vector<Vertex>& out, int left, int top, int right, int bottom, float z) {
    const float l = left - 0.5f, t = top - 0.5f, r = right - 0.5f, b = bottom - 0.5f;
    const Vertex lr_Corners[4] = {{l, t, z, 1, ~0u}, {r, t, z, 1, ~0u}, {l, b, z, 1, ~0u}, {r, b, z, 1, ~0u}};
    for (int i : {0, 1, 2, 1, 3, 2}) out.push_back(lr_Corners[i]);
}

std::vector<Vertex> Grid(float z) {
    std::vector<Vertex> lr_Grid;
    for (UINT y = 1; y + 2 <= OcclusionProbes::k_Height; y += 4)
        for (UINT x = 1; x + 2 <= OcclusionProbes::k_Width; x += 4)
            AddRect(lr_Grid, static_cast<int>(x), static_cast<int>(y), static_cast<int>(x) + 2, static_cast<int>(y) + 2,
                    z);
    return lr_Grid;
}

class Session {
public:
    Session(IDirect3DDevice9* device, const std::function<void()>& wait, std::string& error)
        : mr_Device_(device), mr_Wait(wait), mr_Error(error) {}

    bool Check(HRESULT hr, const char* what) {
        if (SUCCEEDED(hr)) return true;
        char lr_Text[160];
        std::snprintf(lr_Text, sizeof(lr_Text), "%s failed (0x%08lX)", what, static_cast<unsigned long>(hr));
        if (mr_Error.empty()) mr_Error = lr_Text;
        return false;
    }

    bool Draw(const std::vector<Vertex>& vertices) {
        return Check(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                                                 vertices.data(), sizeof(Vertex)),
                     "DrawPrimitiveUP");
    }

    // The samples of one draw, counted by the query and waited for.
    bool Count(IDirect3DQuery9* query, const std::vector<Vertex>& vertices, DWORD* count) {
        if (!Check(query->Issue(D3DISSUE_BEGIN), "Issue(BEGIN)") || !Draw(vertices) ||
            !Check(query->Issue(D3DISSUE_END), "Issue(END)"))
            return false;
        for (int i = 0; i < 5000; ++i) {
            HRESULT hr = query->GetData(count, sizeof(*count), D3DGETDATA_FLUSH);
            if (hr == S_OK) return true;
            if (!Check(hr, "GetData")) return false;
            mr_Wait();
        }
        mr_Error = "an occlusion query result never came";
        return false;
    }

private:
    IDirect3DDevice9* mr_Device_;
    const std::function<void()>& mr_Wait;
    std::string& mr_Error;
};

}  // namespace

bool OcclusionProbes::Run(IDirect3DDevice9* device, const std::function<void()>& wait,
                          const std::function<void(const std::string& name, DWORD count)>& report, std::string& error) {
    Session lr_Session(device, wait, error);
    Held<IDirect3DQuery9> lr_Query;
    Held<IDirect3DSurface9> lr_Target, lr_OldTarget, lr_OldDepth;
    Held<IDirect3DPixelShader9> lr_Shader;
    if (!lr_Session.Check(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, &lr_Query.Object_), "CreateQuery") ||
        !lr_Session.Check(device->CreateRenderTarget(k_Width, k_Height, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                     &lr_Target.Object_, nullptr),
                          "CreateRenderTarget") ||
        !lr_Session.Check(device->CreatePixelShader(k_DepthProbe, &lr_Shader.Object_), "CreatePixelShader") ||
        !lr_Session.Check(device->GetRenderTarget(0, &lr_OldTarget.Object_), "GetRenderTarget"))
        return false;
    device->GetDepthStencilSurface(&lr_OldDepth.Object_);  // none is an answer too
    bool lr_Passed = lr_Session.Check(device->SetRenderTarget(0, lr_Target.Object_), "SetRenderTarget") &&
                     lr_Session.Check(device->BeginScene(), "BeginScene");
    device->SetFVF(k_FVF);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    for (D3DFORMAT lr_Format : {D3DFMT_D24S8, D3DFMT_D16}) {
        if (!lr_Passed) break;
        const bool lr_Stencil = lr_Format == D3DFMT_D24S8;
        const std::string ls_Format = lr_Stencil ? "D24S8" : "D16";
        Held<IDirect3DSurface9> lr_Depth;
        lr_Passed =
            lr_Session.Check(device->CreateDepthStencilSurface(k_Width, k_Height, lr_Format, D3DMULTISAMPLE_NONE, 0,
                                                               FALSE, &lr_Depth.Object_, nullptr),
                             "CreateDepthStencilSurface") &&
            lr_Session.Check(device->SetDepthStencilSurface(lr_Depth.Object_), "SetDepthStencilSurface") &&
            lr_Session.Check(
                device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | (lr_Stencil ? D3DCLEAR_STENCIL : 0u), 0,
                              1.0f, 0),
                "Clear");
        if (!lr_Passed) break;
        // The known depth; stencil 1 under the nearest band.
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
        device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
        device->SetRenderState(D3DRS_STENCILREF, 1);
        for (int i = 0; i < 2; ++i) {
            device->SetRenderState(D3DRS_STENCILENABLE, lr_Stencil && i == 0);
            std::vector<Vertex> lr_Band;
            AddRect(lr_Band, k_Bands[i], 0, k_Bands[i + 1], static_cast<int>(k_Height), k_BandDepths[i]);
            lr_Passed = lr_Passed && lr_Session.Draw(lr_Band);
        }
        // The probes write nothing.
        device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        DWORD lr_Count = 0;
        const struct {
            DWORD Func;
            const char* Name;
        } k_Funcs[] = {{D3DCMP_LESSEQUAL, "lessequal"}, {D3DCMP_GREATEREQUAL, "greaterequal"}};
        for (const auto& lr_Func : k_Funcs) {
            device->SetRenderState(D3DRS_ZFUNC, lr_Func.Func);
            for (const char* ls_Depth : {"0.1", "0.35", "0.7", "0.99"}) {
                lr_Passed = lr_Passed && lr_Session.Count(lr_Query.Object_, Grid(std::stof(ls_Depth)), &lr_Count);
                if (lr_Passed) report(ls_Format + " " + lr_Func.Name + " " + ls_Depth, lr_Count);
            }
        }
        // Probes whose pixel shader writes their depth; the vertices say 0.
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        device->SetPixelShader(lr_Shader.Object_);
        for (const char* ls_Depth : {"0.35", "0.7"}) {
            const float lr_Constants[2][4] = {{1, 1, 1, 1}, {std::stof(ls_Depth), 0, 0, 0}};
            device->SetPixelShaderConstantF(0, &lr_Constants[0][0], 2);
            lr_Passed = lr_Passed && lr_Session.Count(lr_Query.Object_, Grid(0.0f), &lr_Count);
            if (lr_Passed) report(ls_Format + " shader depth " + ls_Depth, lr_Count);
        }
        device->SetPixelShader(nullptr);
        if (lr_Stencil) {
            // Only the stencil decides: the nearest band's probes.
            device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
            device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
            device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
            lr_Passed = lr_Passed && lr_Session.Count(lr_Query.Object_, Grid(0.5f), &lr_Count);
            if (lr_Passed) report(ls_Format + " stencil equal 1", lr_Count);
            device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        }
    }
    device->EndScene();
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderTarget(0, lr_OldTarget.Object_);
    device->SetDepthStencilSurface(lr_OldDepth.Object_);
    return lr_Passed;
}
