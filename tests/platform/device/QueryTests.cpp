// Queries of the software device: what an occlusion query counts against a
// known depth and stencil buffer, the Issue/GetData rules Windows follows
// (from Wine's conformance tests), the query latency, device loss, the
// test controls, and the state a pure device does not hand back.
#include "RasterTestUtil.h"

using namespace raster_test;

namespace {

// ps_2_0: mov oC0, c0; mov oDepth, c1.x. A probe at the depth it is told.
const DWORD k_DepthProbe[] = {0xFFFF0200u, 0x02000001u, 0x800F0800u, 0xA0E40000u,
                              0x02000001u, 0x900F0800u, 0xA0000001u, 0x0000FFFFu};

// A result that must be ready.
DWORD Result(IDirect3DQuery9* query) {
    DWORD lr_Count = 0xBAADF00Du;
    EXPECT_EQ(query->GetData(&lr_Count, sizeof(lr_Count), D3DGETDATA_FLUSH), S_OK);
    return lr_Count;
}

}  // namespace

class QueryTest : public RasterFixture, public ::testing::WithParamInterface<D3DFORMAT> {
protected:
    void SetUp() override {
        RasterFixture::SetUp();
        ASSERT_EQ(mr_Device_->CreateDepthStencilSurface(k_Size, k_Size, Format(), D3DMULTISAMPLE_NONE, 0, FALSE,
                                                        &mr_Depth_, nullptr),
                  D3D_OK);
        ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&mr_AutoDepth_), D3D_OK);
        mr_Device_->SetDepthStencilSurface(mr_Depth_);
        ASSERT_EQ(mr_Device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &mr_Query_), D3D_OK);
        // Depth 0.25 on the left half, 1 on the right; stencil 1 on the left where the format has it.
        mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | (HasStencil() ? D3DCLEAR_STENCIL : 0), 0,
                          1.0f, 0);
        mr_Device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
        mr_Device_->SetRenderState(D3DRS_STENCILENABLE, HasStencil());
        mr_Device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
        mr_Device_->SetRenderState(D3DRS_STENCILREF, 1);
        DrawRect(0, 0, 8, 16, 0xFF00FF00, 0.25f);
        // Probes from here on: colour and depth writes off, stencil kept.
        mr_Device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        mr_Device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
        mr_Device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    }
    void TearDown() override {
        if (mr_Query_) mr_Query_->Release();
        if (mr_AutoDepth_) {
            mr_Device_->SetDepthStencilSurface(mr_AutoDepth_);
            mr_AutoDepth_->Release();
        }
        if (mr_Depth_) mr_Depth_->Release();
        RasterFixture::TearDown();
    }
    D3DFORMAT Format() const { return GetParam(); }
    bool HasStencil() const { return Format() == D3DFMT_D24S8; }
    // Samples of a probe over x 4..12, y 4..8 (16 on each half) at depth z.
    DWORD Probe(DWORD zfunc, float z) {
        mr_Device_->SetRenderState(D3DRS_ZFUNC, zfunc);
        EXPECT_EQ(mr_Query_->Issue(D3DISSUE_BEGIN), D3D_OK);
        DrawRect(4, 4, 12, 8, 0xFFFFFFFF, z);
        EXPECT_EQ(mr_Query_->Issue(D3DISSUE_END), D3D_OK);
        return Result(mr_Query_);
    }

    IDirect3DSurface9* mr_Depth_ = nullptr;
    IDirect3DSurface9* mr_AutoDepth_ = nullptr;
    IDirect3DQuery9* mr_Query_ = nullptr;
};

TEST_P(QueryTest, CountsTheSamplesInFrontOfOrBehindKnownDepth) {
    EXPECT_EQ(Probe(D3DCMP_LESSEQUAL, 0.5f), 16u);     // in front of the right half only
    EXPECT_EQ(Probe(D3DCMP_GREATEREQUAL, 0.5f), 16u);  // behind the left half only
    EXPECT_EQ(Probe(D3DCMP_LESSEQUAL, 0.25f), 32u);    // level with the left half counts
    EXPECT_EQ(Probe(D3DCMP_LESS, 0.25f), 16u);
    EXPECT_EQ(Pixel(6, 6), 0xFF00FF00u);  // nothing was written

    // A probe whose pixel shader writes the depth it is given, as the plug-in draws them.
    IDirect3DPixelShader9* lr_Shader_ = nullptr;
    ASSERT_EQ(mr_Device_->CreatePixelShader(k_DepthProbe, &lr_Shader_), D3D_OK);
    mr_Device_->SetPixelShader(lr_Shader_);
    const float k_Depth[2][4] = {{1, 1, 1, 1}, {0.5f, 0, 0, 0}};
    mr_Device_->SetPixelShaderConstantF(0, &k_Depth[0][0], 2);
    EXPECT_EQ(Probe(D3DCMP_GREATEREQUAL, 0.0f), 16u);
    mr_Device_->SetPixelShader(nullptr);
    lr_Shader_->Release();

    // Pixels the alpha test drops are not counted.
    mr_Device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    mr_Device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_LESS);
    EXPECT_EQ(Probe(D3DCMP_ALWAYS, 0.5f), 0u);
}

TEST_P(QueryTest, TheStencilTestDecidesToo) {
    if (!HasStencil()) {
        // No stencil bits: the test is ignored and says so.
        mr_Device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
        mr_Device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_NEVER);
        EXPECT_EQ(Probe(D3DCMP_ALWAYS, 0.5f), 32u);
        EXPECT_TRUE(LastDraw().StencilIgnored);
        return;
    }
    mr_Device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    EXPECT_EQ(Probe(D3DCMP_ALWAYS, 0.5f), 16u);
    mr_Device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_NOTEQUAL);
    EXPECT_EQ(Probe(D3DCMP_LESSEQUAL, 0.5f), 16u);
    EXPECT_EQ(Probe(D3DCMP_GREATEREQUAL, 0.5f), 0u);  // the left half passes depth, not stencil

    // Depth failures run ZFAIL; counter-clockwise triangles take the CCW states.
    mr_Device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    mr_Device_->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_INCR);
    EXPECT_EQ(Probe(D3DCMP_NEVER, 0.5f), 0u);
    std::vector<BYTE> lr_Bytes = ReadPixels(mr_Depth_);
    EXPECT_EQ(lr_Bytes[(5 * k_Size + 5) * 4], 2u);
    EXPECT_EQ(lr_Bytes[(5 * k_Size + 10) * 4], 1u);
    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    mr_Device_->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, TRUE);
    mr_Device_->SetRenderState(D3DRS_CCW_STENCILFUNC, D3DCMP_NEVER);
    EXPECT_EQ(Probe(D3DCMP_ALWAYS, 0.5f), 32u);
    mr_Device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    ASSERT_EQ(mr_Query_->Issue(D3DISSUE_BEGIN), D3D_OK);
    DrawList({{4, 4, 0.5f, 1, 0}, {4, 8, 0.5f, 1, 0}, {12, 4, 0.5f, 1, 0}});  // counter-clockwise
    ASSERT_EQ(mr_Query_->Issue(D3DISSUE_END), D3D_OK);
    EXPECT_EQ(Result(mr_Query_), 0u);
}

INSTANTIATE_TEST_SUITE_P(DepthFormats, QueryTest, ::testing::Values(D3DFMT_D16, D3DFMT_D24S8),
                         [](const ::testing::TestParamInfo<D3DFORMAT>& info) {
                             return info.param == D3DFMT_D16 ? std::string("D16") : std::string("D24S8");
                         });

using QueryRulesTest = RasterFixture;

TEST_F(QueryRulesTest, IssueAndGetDataFollowWindows) {
    IDirect3DQuery9 *lr_Query_ = nullptr, *lr_Other_ = nullptr, *lr_Event_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &lr_Query_), D3D_OK);
    ASSERT_EQ(mr_Device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &lr_Other_), D3D_OK);
    ASSERT_EQ(mr_Device_->CreateQuery(D3DQUERYTYPE_EVENT, &lr_Event_), D3D_OK);
    // Never issued: S_OK and 0xDD bytes over the data, nothing past it.
    DWORD lr_Data[2] = {~0u, ~0u};
    EXPECT_EQ(lr_Query_->GetData(nullptr, 0, D3DGETDATA_FLUSH), S_OK);
    EXPECT_EQ(lr_Query_->GetData(lr_Data, sizeof(lr_Data), D3DGETDATA_FLUSH), S_OK);
    EXPECT_EQ(lr_Data[0], 0xDDDDDDDDu);
    EXPECT_EQ(lr_Data[1], ~0u);
    EXPECT_EQ(lr_Event_->Issue(D3DISSUE_BEGIN), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Query_->Issue(0), D3DERR_INVALIDCALL);

    // END without BEGIN counts nothing; BEGIN twice restarts; building is not ready.
    DrawRect(0, 0, 4, 4, ~0u);
    EXPECT_EQ(lr_Query_->Issue(D3DISSUE_END), D3D_OK);
    EXPECT_EQ(lr_Query_->GetData(lr_Data, sizeof(DWORD), 0), S_OK);
    EXPECT_EQ(lr_Data[0], 0u);
    EXPECT_EQ(lr_Query_->Issue(D3DISSUE_BEGIN), D3D_OK);
    DrawRect(0, 0, 4, 4, ~0u);
    EXPECT_EQ(lr_Query_->Issue(D3DISSUE_BEGIN), D3D_OK);
    EXPECT_EQ(lr_Query_->GetData(lr_Data, sizeof(DWORD), D3DGETDATA_FLUSH), S_FALSE);
    // Two queries begun at once count the same draws, each its own.
    DrawRect(0, 0, 16, 16, ~0u);  // 256
    EXPECT_EQ(lr_Other_->Issue(D3DISSUE_BEGIN), D3D_OK);
    DrawRect(0, 0, 2, 2, ~0u);  // 4
    EXPECT_EQ(lr_Query_->Issue(D3DISSUE_END), D3D_OK);
    DrawRect(0, 0, 1, 1, ~0u);  // 1
    EXPECT_EQ(lr_Other_->Issue(D3DISSUE_END), D3D_OK);
    EXPECT_EQ(Result(lr_Other_), 5u);
    // A short buffer takes the low bytes.
    lr_Data[0] = lr_Data[1] = ~0u;
    EXPECT_EQ(lr_Query_->GetData(lr_Data, sizeof(WORD), D3DGETDATA_FLUSH), S_OK);
    EXPECT_EQ(lr_Data[0], 0xFFFF0000u | 260u);
    EXPECT_EQ(lr_Query_->GetData(nullptr, sizeof(DWORD), 0), D3DERR_INVALIDCALL);

    lr_Event_->Release();
    lr_Other_->Release();
    lr_Query_->Release();
}

TEST_F(QueryRulesTest, ResultsWaitForPresentsAndGoWithTheDevice) {
    IDirect3DQuery9* lr_Query_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &lr_Query_), D3D_OK);
    IDirect3DSwapChain9* lr_Chain_ = nullptr;
    ASSERT_EQ(mr_Device_->GetSwapChain(0, &lr_Chain_), D3D_OK);
    mr_Control_->SetQueryLatency(2);
    lr_Query_->Issue(D3DISSUE_BEGIN);
    DrawRect(0, 0, 3, 3, ~0u);
    lr_Query_->Issue(D3DISSUE_END);
    DWORD lr_Count = 77;
    EXPECT_EQ(lr_Query_->GetData(&lr_Count, sizeof(lr_Count), D3DGETDATA_FLUSH), S_FALSE);
    EXPECT_EQ(mr_Device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(lr_Query_->GetData(&lr_Count, sizeof(lr_Count), D3DGETDATA_FLUSH), S_FALSE);
    EXPECT_EQ(lr_Count, 77u);
    EXPECT_EQ(lr_Chain_->Present(nullptr, nullptr, nullptr, nullptr, 0), D3D_OK);
    EXPECT_EQ(Result(lr_Query_), 9u);
    lr_Chain_->Release();

    // Lost: the result is gone, with or without a Reset; the query itself lives on.
    mr_Control_->SetQueryLatency(0);
    mr_Control_->SetDeviceLost(true);
    EXPECT_EQ(lr_Query_->GetData(&lr_Count, sizeof(lr_Count), D3DGETDATA_FLUSH), D3DERR_DEVICELOST);
    EXPECT_EQ(lr_Query_->GetData(&lr_Count, sizeof(lr_Count), 0), S_FALSE);
    mr_Control_->SetDeviceLost(false);
    mr_Back_->Release();
    mr_Back_ = nullptr;
    ASSERT_EQ(mr_Device_->Reset(&mr_PresentParameters), D3D_OK);
    EXPECT_EQ(lr_Query_->GetData(&lr_Count, sizeof(lr_Count), D3DGETDATA_FLUSH), D3DERR_DEVICELOST);
    lr_Query_->Issue(D3DISSUE_BEGIN);
    lr_Query_->Issue(D3DISSUE_END);
    EXPECT_EQ(Result(lr_Query_), 0u);
    // A failed Reset loses results the same way.
    mr_Control_->FailCall(SoftCall::Reset, 1, D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->Reset(&mr_PresentParameters), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Query_->GetData(&lr_Count, sizeof(lr_Count), D3DGETDATA_FLUSH), D3DERR_DEVICELOST);
    lr_Query_->Release();
    ASSERT_EQ(mr_Device_->Reset(&mr_PresentParameters), D3D_OK);
}

TEST_F(QueryRulesTest, TestsCanRuleTypesOutAndFailEachCall) {
    IDirect3DQuery9* lr_Query_ = reinterpret_cast<IDirect3DQuery9*>(0x1234);
    mr_Control_->SetQueryTypeSupported(D3DQUERYTYPE_OCCLUSION, false);
    EXPECT_EQ(mr_Device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, nullptr), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(mr_Device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &lr_Query_), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(lr_Query_, reinterpret_cast<IDirect3DQuery9*>(0x1234));  // left alone, as on Windows
    mr_Control_->SetQueryTypeSupported(D3DQUERYTYPE_OCCLUSION, true);
    EXPECT_EQ(mr_Device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, nullptr), D3D_OK);

    mr_Control_->ResetCallCounts();
    mr_Control_->FailCall(SoftCall::CreateQuery, 1, D3DERR_NOTAVAILABLE);
    EXPECT_EQ(mr_Device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &lr_Query_), D3DERR_NOTAVAILABLE);
    ASSERT_EQ(mr_Device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &lr_Query_), D3D_OK);
    mr_Control_->FailCall(SoftCall::QueryIssue, 1, D3DERR_INVALIDCALL);
    mr_Control_->FailCall(SoftCall::QueryGetData, 2, D3DERR_DEVICELOST);
    EXPECT_EQ(lr_Query_->Issue(D3DISSUE_BEGIN), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Query_->Issue(D3DISSUE_END), D3D_OK);
    EXPECT_EQ(lr_Query_->GetData(nullptr, 0, 0), S_OK);
    EXPECT_EQ(lr_Query_->GetData(nullptr, 0, 0), D3DERR_DEVICELOST);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateQuery), 2u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::QueryGetData), 2u);
    lr_Query_->Release();
}

class PureDeviceTest : public SoftDeviceFixture {
protected:
    PureDeviceTest() { mr_BehaviorFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE; }
};

TEST_F(PureDeviceTest, SetStateIsNotHandedBack) {
    EXPECT_EQ(mr_Device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATEREQUAL), D3D_OK);
    DWORD lr_Value = 0;
    D3DMATRIX lr_Matrix;
    EXPECT_EQ(mr_Device_->GetTransform(D3DTS_PROJECTION, &lr_Matrix), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->GetRenderState(D3DRS_ZFUNC, &lr_Value), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Value, 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetState), 2u);

    // Pure means hardware vertex processing.
    IDirect3DDevice9* lr_Device_ = nullptr;
    D3DPRESENT_PARAMETERS lr_Params = DefaultPresentParameters();
    EXPECT_EQ(
        mr_Direct3D_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr,
                                   D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE, &lr_Params, &lr_Device_),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Device_, nullptr);
}
