#include "TestScenes.h"

namespace {

SceneCamera View(Vec3 position, double yaw, double pitch, double nearPlane, double farPlane, double fovY = 60) {
    SceneCamera lr_Camera;
    lr_Camera.Position = position;
    lr_Camera.YawDegrees = yaw;
    lr_Camera.PitchDegrees = pitch;
    lr_Camera.FovYDegrees = fovY;
    lr_Camera.Near = nearPlane;
    lr_Camera.Far = farPlane;
    return lr_Camera;
}

TestScene DemoRoom() {
    TestScene lr_Scene;
    lr_Scene.Name = "room";
    lr_Scene.Scene = AnalyticScene::MakeDemoRoom();
    lr_Scene.Views[0] = SceneCamera::WithOrdinaryNearPlane(SceneCamera::DemoView(), false);
    lr_Scene.Views[1] = SceneCamera::WithOrdinaryNearPlane(SceneCamera::SecondView(), false);
    lr_Scene.Radius = 2.3;
    return lr_Scene;
}

// Metres: open ground to the horizon, boulders half sunk into it, a low
// wall, and a hill about 150 away under the sky.
TestScene Outdoor() {
    TestScene lr_Scene;
    lr_Scene.Name = "outdoor";
    AnalyticScene& s = lr_Scene.Scene;
    s.AddBox("ground", {-600, -1, -100}, {600, 0, 900}, 0x9CA878);
    s.AddBox("low wall", {-9, 0, 16}, {5, 0.9, 16.6}, 0xB8B0A0);
    s.AddBox("wall's end", {5, 0, 12}, {5.6, 0.9, 16.6}, 0xB8B0A0);
    s.AddSphere("boulder", {-3.5, 0.3, 10}, 1.4, 0xA09888);
    s.AddSphere("boulder at the wall", {1.5, 0, 15.2}, 1.0, 0x989080);
    s.AddSphere("stone", {-1.2, -0.1, 7.5}, 0.5, 0xA8A090);
    s.AddSphere("stone beside it", {-0.5, -0.25, 8.1}, 0.45, 0xA8A090);
    s.AddSphere("rock", {6.5, -0.6, 22}, 2.4, 0x908878);
    s.AddBox("block", {-12, 0, 20}, {-9.5, 1.6, 22.5}, 0xB0A898);
    s.AddSphere("rock on the far field", {-20, -1, 45}, 4, 0x989080);
    s.AddSphere("hill", {30, -40, 150}, 55, 0x88A070);
    lr_Scene.Views[0] = View({-0.5, 1.7, 3.5}, 3, -12, 0.1, 1000);
    lr_Scene.Views[1] = View({7.5, 2.2, 7}, -28, -12, 0.1, 1000);
    lr_Scene.Radius = 1.5;
    return lr_Scene;
}

// Metres, seen from 0.6 away: a table top on legs with a cup on a saucer,
// a ball and two books, a wall behind.
TestScene Table() {
    TestScene lr_Scene;
    lr_Scene.Name = "table";
    AnalyticScene& s = lr_Scene.Scene;
    s.AddBox("floor", {-4, -0.1, -4}, {4, 0, 4}, 0xB89C78);
    s.AddBox("wall", {-4, 0, 1.1}, {4, 2.6, 1.2}, 0xD8D0C4);
    s.AddBox("side wall", {-1.9, 0, -4}, {-1.8, 2.6, 1.1}, 0xD0D4C8);
    s.AddBox("table top", {-0.6, 0.72, -0.4}, {0.6, 0.75, 0.4}, 0xC8B090);
    const double lr_Leg = 0.05;
    for (const double x : {-0.57, 0.57 - lr_Leg})
        for (const double z : {-0.37, 0.37 - lr_Leg})
            s.AddBox("leg", {x, 0, z}, {x + lr_Leg, 0.72, z + lr_Leg}, 0xA08860);
    s.AddBox("saucer", {-0.27, 0.75, -0.07}, {-0.13, 0.76, 0.07}, 0xE8E8E0);
    s.AddBox("cup", {-0.24, 0.76, -0.04}, {-0.16, 0.85, 0.04}, 0xE0E4E8);
    s.AddBox("cup's rim", {-0.25, 0.85, -0.05}, {-0.15, 0.86, 0.05}, 0xE0E4E8);
    s.AddSphere("ball", {0.02, 0.79, -0.1}, 0.04, 0xD05040);
    s.AddBox("book", {0.12, 0.75, -0.05}, {0.34, 0.78, 0.11}, 0x4060A0);
    s.AddBox("book on it", {0.15, 0.78, -0.02}, {0.31, 0.805, 0.2}, 0x509060);
    lr_Scene.Views[0] = View({0, 1.05, -0.55}, 0, -30, 0.01, 20);
    lr_Scene.Views[1] = View({0.45, 1.0, -0.35}, -40, -30, 0.01, 20);
    lr_Scene.Radius = 0.05;
    return lr_Scene;
}

// Ten times the room's scale (decimetres): a road between two rows of
// buildings with alleys, raised pavements and their kerbs, parked cars on
// wheels.
TestScene Street() {
    TestScene lr_Scene;
    lr_Scene.Name = "street";
    AnalyticScene& s = lr_Scene.Scene;
    s.AddBox("road", {-400, -10, -200}, {400, 0, 2000}, 0x8C8C90);
    s.AddBox("left pavement", {-75, 0, -200}, {-40, 1.5, 2000}, 0xB8B4AC);
    s.AddBox("right pavement", {40, 0, -200}, {75, 1.5, 2000}, 0xB8B4AC);
    const double lr_Heights[] = {140, 220, 110, 260, 170, 120, 200};
    const uint32_t lr_Colours[] = {0xC8A088, 0xB8B8C0, 0xD8C8A0, 0xA8B0A0, 0xC0A8A8};
    int i = 0;
    for (double z = -100; z < 1300; z += 150, ++i) {
        const double lr_Height = lr_Heights[i % 7];
        s.AddBox("left building", {-200, 1.5, z}, {-75, lr_Height, z + 130}, lr_Colours[i % 5]);
        s.AddBox("right building", {75, 1.5, z + 30}, {200, lr_Heights[(i + 3) % 7], z + 160}, lr_Colours[(i + 2) % 5]);
    }
    // Cars: a body and a cabin on four wheels, parked along the kerbs.
    auto Car = [&s](double x, double z, uint32_t colour) {
        s.AddBox("car", {x - 9, 3, z}, {x + 9, 11, z + 44}, colour);
        s.AddBox("car's cabin", {x - 8, 11, z + 10}, {x + 8, 16, z + 32}, colour);
        for (const double lr_Wx : {x - 8, x + 5})
            for (const double lr_Wz : {z + 5, z + 33})
                s.AddBox("wheel", {lr_Wx, 0, lr_Wz}, {lr_Wx + 3, 6, lr_Wz + 6}, 0x303034);
    };
    Car(-29, 90, 0xB03838);
    Car(-29, 150, 0x3858A8);
    Car(29, 120, 0xD8D8D0);
    Car(29, 240, 0x489058);
    s.AddBox("lamp post", {-44, 1.5, 200}, {-42, 60, 202}, 0x505860);
    lr_Scene.Views[0] = View({-12, 17, 0}, 4, -6, 1, 5000);
    lr_Scene.Views[1] = View({55, 70, 40}, -25, -22, 1, 5000);
    lr_Scene.Radius = 23;
    return lr_Scene;
}

// Metres: a railing of thin posts and rails before a wall, and a chair of
// thin legs with its back near the side wall.
TestScene Railing() {
    TestScene lr_Scene;
    lr_Scene.Name = "railing";
    AnalyticScene& s = lr_Scene.Scene;
    s.AddBox("floor", {-10, -0.2, -5}, {10, 0, 12}, 0xC0B8A8, true);
    s.AddBox("back wall", {-10, 0, 4}, {10, 3, 4.2}, 0xD8D2C8);
    s.AddBox("side wall", {2.2, 0, -5}, {2.4, 3, 4}, 0xC8D0D8);
    for (double x = -2.5; x < 1.0; x += 0.18) s.AddBox("post", {x, 0, 3.2}, {x + 0.04, 1.0, 3.24}, 0x585860);
    s.AddBox("top rail", {-2.55, 1.0, 3.17}, {1.05, 1.06, 3.27}, 0x484850);
    s.AddBox("bottom rail", {-2.55, 0.1, 3.19}, {1.05, 0.14, 3.25}, 0x484850);
    // The chair: seat 0.45 high, its back against x = 2.2 less a gap.
    const double x0 = 1.55, x1 = 2.0, z0 = 1.4, z1 = 1.85, lr_Leg = 0.04;
    for (const double x : {x0, x1 - lr_Leg})
        for (const double z : {z0, z1 - lr_Leg})
            s.AddBox("chair leg", {x, 0, z}, {x + lr_Leg, 0.43, z + lr_Leg}, 0x8C6440);
    s.AddBox("seat", {x0, 0.43, z0}, {x1, 0.47, z1}, 0xA07850);
    for (const double z : {z0, z1 - lr_Leg})
        s.AddBox("back post", {x1 - lr_Leg, 0.47, z}, {x1, 0.95, z + lr_Leg}, 0x8C6440);
    s.AddBox("back rest", {x1 - 0.03, 0.7, z0}, {x1, 0.92, z1}, 0xA07850);
    lr_Scene.Views[0] = View({0, 1.5, -0.6}, 12, -18, 0.1, 100);
    lr_Scene.Views[1] = View({-0.4, 1.3, 0.3}, 40, -22, 0.1, 100);
    lr_Scene.Radius = 0.5;
    return lr_Scene;
}

}  // namespace

const std::vector<TestScene>& TestScenes() {
    static const std::vector<TestScene> s_Scenes = {DemoRoom(), Outdoor(), Table(), Street(), Railing()};
    return s_Scenes;
}
