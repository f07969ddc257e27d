#include "SoftDeviceFixture.h"

#include "SoftTestDevice.h"

#include <atomic>
#include <cstdio>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace {

std::filesystem::path MakeTempDirectory() {
    static std::atomic<unsigned> lr_Counter{0};
    std::error_code lr_Error;
    std::filesystem::path lr_Base = std::filesystem::temp_directory_path(lr_Error);
    if (lr_Error) lr_Base = "/tmp";
    for (;;) {
        std::ostringstream ls_Name;
        ls_Name << "ssao-test-" << ::getpid() << "-" << lr_Counter++;
        std::filesystem::path lr_Path = lr_Base / ls_Name.str();
        if (std::filesystem::create_directory(lr_Path, lr_Error)) return lr_Path;
        if (lr_Error) return {};
    }
}

}  // namespace

D3DPRESENT_PARAMETERS SoftDeviceFixture::DefaultPresentParameters() { return SoftPresentParameters(800, 600); }

std::string SoftDeviceFixture::DescribeLiveObjects(ISoftDeviceControl* control, bool includeImplicit) {
    std::ostringstream ls_Text;
    for (const SoftLiveObject& lr_Object : control->GetLiveObjects()) {
        if (lr_Object.Implicit && !includeImplicit) continue;
        ls_Text << SoftObjectKindName(lr_Object.Kind) << " " << SoftPoolName(lr_Object.Pool) << " usage=0x" << std::hex
                << lr_Object.Usage << std::dec << " fmt=" << static_cast<int>(lr_Object.Format) << " "
                << lr_Object.Width << "x" << lr_Object.Height << " refs=" << lr_Object.RefCount
                << (lr_Object.Implicit ? " implicit" : "") << "\n";
    }
    return ls_Text.str();
}

SoftDeviceFixture::SoftDeviceFixture()
    : mr_PresentParameters(DefaultPresentParameters()),
      mr_BehaviorFlags(D3DCREATE_HARDWARE_VERTEXPROCESSING),
      mr_CheckLiveObjects(true),
      mr_Direct3D_(nullptr),
      mr_Device_(nullptr),
      mr_Control_(nullptr) {}

SoftDeviceFixture::~SoftDeviceFixture() {
    // A test that failed an assertion in SetUp may skip TearDown.
    if (mr_Device_) mr_Device_->Release();
    if (mr_Direct3D_) mr_Direct3D_->Release();
}

void SoftDeviceFixture::SetUp() {
    mr_TempDirectory = MakeTempDirectory();
    ASSERT_FALSE(mr_TempDirectory.empty());

    ASSERT_EQ(CreateSoftDevice(mr_PresentParameters, mr_BehaviorFlags, &mr_Direct3D_, &mr_Device_), D3D_OK);
    mr_Control_ = SoftControlOf(mr_Device_);
    ASSERT_NE(mr_Control_, nullptr);
}

void SoftDeviceFixture::ReleaseDevice() {
    ReleaseDeviceOnly();
    if (mr_Direct3D_) {
        ULONG lr_Left = mr_Direct3D_->Release();
        mr_Direct3D_ = nullptr;
        if (mr_CheckLiveObjects) {
            EXPECT_EQ(lr_Left, 0u) << "the Direct3D object is still referenced";
        }
    }
}

void SoftDeviceFixture::ReleaseDeviceOnly() {
    if (mr_Device_) {
        if (mr_CheckLiveObjects && mr_Control_) {
            EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false), 0u)
                << "device objects still alive:\n"
                << DescribeLiveObjects(mr_Control_, false);
            EXPECT_EQ(mr_Control_->GetOverReleaseCount(), 0u) << "Release was called more often than AddRef";
        }
        ULONG lr_Left = mr_Device_->Release();
        mr_Device_ = nullptr;
        mr_Control_ = nullptr;
        if (mr_CheckLiveObjects) {
            EXPECT_EQ(lr_Left, 0u) << "the device is still referenced after the fixture released it";
        }
    }
}

HRESULT SoftDeviceFixture::ReplaceDevice(UINT adapter, DWORD behaviorFlags,
                                         std::vector<D3DPRESENT_PARAMETERS> heads) {
    ReleaseDeviceOnly();
    const HRESULT hr = mr_Direct3D_->CreateDevice(adapter, D3DDEVTYPE_HAL, nullptr, behaviorFlags, heads.data(),
                                                  &mr_Device_);
    if (SUCCEEDED(hr)) mr_Control_ = SoftControlOf(mr_Device_);
    return hr;
}

void SoftDeviceFixture::TearDown() {
    ReleaseDevice();
    if (!mr_TempDirectory.empty()) {
        std::error_code lr_Error;
        std::filesystem::remove_all(mr_TempDirectory, lr_Error);
        mr_TempDirectory.clear();
    }
}

ULONG SoftDeviceFixture::RefCount(IUnknown* object) const {
    return mr_Control_ ? mr_Control_->PeekRefCount(object) : 0;
}

std::vector<BYTE> SoftDeviceFixture::ReadPixels(IDirect3DSurface9* surface) const {
    std::vector<BYTE> lr_Pixels;
    if (mr_Control_) mr_Control_->ReadPixels(surface, lr_Pixels);
    return lr_Pixels;
}

IDirect3DSurface9* SoftDeviceFixture::GetBackBuffer0() const {
    IDirect3DSurface9* lr_Surface_ = nullptr;
    if (mr_Device_) mr_Device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &lr_Surface_);
    return lr_Surface_;
}
