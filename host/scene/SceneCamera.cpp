#include "SceneCamera.h"

namespace {
const double kDegrees = 3.14159265358979323846 / 180.0;
}

Vec3 SceneCamera::Forward() const {
    const double lr_Yaw = YawDegrees * kDegrees, lr_Pitch = PitchDegrees * kDegrees;
    return {std::sin(lr_Yaw) * std::cos(lr_Pitch), std::sin(lr_Pitch), std::cos(lr_Yaw) * std::cos(lr_Pitch)};
}

Vec3 SceneCamera::Right() const { return Normalise(Cross(Vec3{0, 1, 0}, Forward())); }

Vec3 SceneCamera::Up() const { return Cross(Forward(), Right()); }

D3DMATRIX SceneCamera::View() const {
    const Vec3 x = Right(), y = Up(), z = Forward();
    D3DMATRIX lr_M{};
    const double lr_Rows[4][3] = {
        {x.X, y.X, z.X}, {x.Y, y.Y, z.Y}, {x.Z, y.Z, z.Z}, {-Dot(x, Position), -Dot(y, Position), -Dot(z, Position)}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) lr_M.m[r][c] = static_cast<float>(lr_Rows[r][c]);
    lr_M.m[3][3] = 1.0f;
    return lr_M;
}

D3DMATRIX SceneCamera::Projection(double aspect) const {
    const double lr_YScale = 1.0 / std::tan(FovYDegrees * kDegrees / 2.0);
    D3DMATRIX lr_M{};
    lr_M.m[0][0] = static_cast<float>(lr_YScale / aspect);
    lr_M.m[1][1] = static_cast<float>(lr_YScale);
    // D3DXMatrixPerspectiveFovLH's depth terms; reversed depth swaps the planes.
    const double lr_Zn = ReversedDepth ? Far : Near, lr_Zf = ReversedDepth ? Near : Far;
    lr_M.m[2][2] = static_cast<float>(lr_Zf / (lr_Zf - lr_Zn));
    lr_M.m[2][3] = 1.0f;
    lr_M.m[3][2] = static_cast<float>(lr_Zn * lr_Zf / (lr_Zn - lr_Zf));
    if (InfiniteFar) {
        // z = 1 - n / d, or n / d reversed.
        lr_M.m[2][2] = ReversedDepth ? 0.0f : 1.0f;
        lr_M.m[3][2] = static_cast<float>(ReversedDepth ? Near : -Near);
    }
    return lr_M;
}

double SceneCamera::FocalPixels(int height) const { return 0.5 * height / std::tan(FovYDegrees * kDegrees / 2.0); }

Ray SceneCamera::PixelRay(int x, int y, int width, int height) const {
    const double lr_Focal = FocalPixels(height);
    const double lr_Sx = (x - 0.5 * width) / lr_Focal;
    const double lr_Sy = (0.5 * height - y) / lr_Focal;
    return {Position, Normalise(Forward() + Right() * lr_Sx + Up() * lr_Sy)};
}

SceneCamera SceneCamera::DemoView() {
    SceneCamera lr_Camera;
    lr_Camera.Position = {-0.8, 4.4, 0.5};
    lr_Camera.YawDegrees = 6;
    lr_Camera.PitchDegrees = -10;
    return lr_Camera;
}

SceneCamera SceneCamera::SecondView() {
    SceneCamera lr_Camera;
    lr_Camera.Position = {-5.5, 4.6, 2.0};
    lr_Camera.YawDegrees = 24;
    lr_Camera.PitchDegrees = -10;
    return lr_Camera;
}

SceneCamera SceneCamera::OrdinaryNearPlaneView() {
    SceneCamera lr_Camera = DemoView();
    lr_Camera.Near = 0.1;
    return lr_Camera;
}

SceneCamera SceneCamera::Scaled(SceneCamera camera, double factor) {
    camera.Position = camera.Position * factor;
    camera.Near *= factor;
    camera.Far *= factor;
    return camera;
}

SceneCamera SceneCamera::WithOrdinaryNearPlane(SceneCamera camera, bool reversedDepth) {
    camera.Near = 0.1;
    camera.ReversedDepth = reversedDepth;
    return camera;
}
