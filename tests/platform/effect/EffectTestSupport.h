// Shared helpers of the effect runtime tests.
#pragma once

#include "RecordingDevice.h"

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <string>

namespace effecttest {

// Compiles text on a device; on failure returns null and the compiler's text.
inline ID3DXEffect* Compile(IDirect3DDevice9* device, const std::string& text, std::string* errors = nullptr,
                            HRESULT* result = nullptr) {
    ID3DXEffect* lr_Effect = nullptr;
    ID3DXBuffer* lr_Errors = nullptr;
    const HRESULT hr = D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, 0,
                                        nullptr, &lr_Effect, &lr_Errors);
    if (result) *result = hr;
    if (errors) errors->clear();
    if (lr_Errors) {
        if (errors) *errors = static_cast<const char*>(lr_Errors->GetBufferPointer());
        lr_Errors->Release();
    }
    return lr_Effect;
}

// A recording device per test; at the end no fake object may be left and
// the device must hold only the test's own reference.
class EffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        mr_LiveAtStart = fakedevice::g_LiveObjects;
        mr_Device = new fakedevice::RecordingDevice();
    }
    void TearDown() override {
        EXPECT_EQ(mr_Device->RefCount(), 1u) << "an effect still holds the device";
        mr_Device->Release();
        EXPECT_EQ(fakedevice::g_LiveObjects, mr_LiveAtStart) << "fake textures or shaders leaked";
    }
    ID3DXEffect* Make(const std::string& text) {
        std::string ls_Errors;
        ID3DXEffect* lr_Effect = Compile(mr_Device, text, &ls_Errors);
        EXPECT_NE(lr_Effect, nullptr) << ls_Errors;
        return lr_Effect;
    }

    fakedevice::RecordingDevice* mr_Device = nullptr;
    int mr_LiveAtStart = 0;
};

}  // namespace effecttest
