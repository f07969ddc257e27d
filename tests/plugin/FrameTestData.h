// What a frame test needs besides the device and the host: small effect
// files and a noise image.
#pragma once

#include <filesystem>
#include <string>

// Entry points of the pixel shaders in the test's effect files: the draw
// record names the pass that drew.
namespace FramePass {
extern const char* const Black;
extern const char* const Depth;
extern const char* const Occlusion;
extern const char* const Blur;
extern const char* const Show;
}  // namespace FramePass

// The five effect files and "Noise.bmp" into directory (created if missing).
void WriteFrameTestData(const std::filesystem::path& directory);
void WriteFrameEffectFile(const std::filesystem::path& directory, const std::string& file, const std::string& code);
// A k_FrameNoiseSide-square noise image.
constexpr unsigned k_FrameNoiseSide = 4;
void WriteFrameNoiseImage(const std::filesystem::path& directory);
