// The substitute D3DX's HLSL compiler process: vkd3d-shader compiles each
// job of one effect under the limits it is started with. Whatever the
// compiler leaks, or however it fails, ends with this process.
//
// Usage: d3dx9-hlsl <cpu milliseconds> <memory bytes>, the request on
// standard input (ShaderCompilerProtocol.h).
#include "compiler/CompilerMessages.h"
#include "compiler/ShaderCompilerProtocol.h"
#include "compiler/ShaderOptimiser.h"

#include <vkd3d_shader.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define SOFT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOFT_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

// The compiler's stream as the optimiser leaves it; bytes that are not whole tokens stay as they are.
std::string Optimised(const vkd3d_shader_code& code, const std::string& profile) {
    const char* lr_Bytes = static_cast<const char*>(code.code);
    if (code.size % sizeof(DWORD) != 0) return std::string(lr_Bytes, code.size);
    std::vector<DWORD> lr_Tokens(code.size / sizeof(DWORD));
    std::memcpy(lr_Tokens.data(), lr_Bytes, code.size);
    lr_Tokens = softfx::OptimiseShader(lr_Tokens, profile);
    return std::string(reinterpret_cast<const char*>(lr_Tokens.data()), lr_Tokens.size() * sizeof(DWORD));
}

void Compile(const std::string& text, const std::string& sourceName, const std::string& entry,
             const std::string& profile, bool optimise, std::string& answer) {
    vkd3d_shader_hlsl_source_info lr_Hlsl;
    std::memset(&lr_Hlsl, 0, sizeof(lr_Hlsl));
    lr_Hlsl.type = VKD3D_SHADER_STRUCTURE_TYPE_HLSL_SOURCE_INFO;
    lr_Hlsl.entry_point = entry.c_str();
    lr_Hlsl.profile = profile.c_str();
    vkd3d_shader_compile_info lr_Info;
    std::memset(&lr_Info, 0, sizeof(lr_Info));
    lr_Info.type = VKD3D_SHADER_STRUCTURE_TYPE_COMPILE_INFO;
    lr_Info.next = &lr_Hlsl;
    lr_Info.source.code = text.data();
    lr_Info.source.size = text.size();
    lr_Info.source_type = VKD3D_SHADER_SOURCE_HLSL;
    lr_Info.target_type = VKD3D_SHADER_TARGET_D3D_BYTECODE;
    lr_Info.log_level = VKD3D_SHADER_LOG_WARNING;
    lr_Info.source_name = sourceName.c_str();
    vkd3d_shader_code lr_Code;
    std::memset(&lr_Code, 0, sizeof(lr_Code));
    char* lr_Messages_ = nullptr;
    const int lr_Result = vkd3d_shader_compile(&lr_Info, &lr_Code, &lr_Messages_);
    std::string ls_Messages = softfx::D3DXMessages(lr_Messages_);
    vkd3d_shader_free_messages(lr_Messages_);
    if (lr_Result < 0) {
        if (ls_Messages.empty())
            ls_Messages = sourceName + "(1,1): error X3000: '" + entry + "' failed to compile for " + profile + " (" +
                          std::to_string(lr_Result) + ")\n";
        const auto lr_Status =
            lr_Result == VKD3D_ERROR_OUT_OF_MEMORY ? softfx::protocol::k_OutOfMemory : softfx::protocol::k_Refused;
        softfx::protocol::PutU32(answer, lr_Status);
        softfx::protocol::PutString(answer, "", 0);
    } else {
        softfx::protocol::PutU32(answer, softfx::protocol::k_Compiled);
        if (optimise)
            softfx::protocol::PutString(answer, Optimised(lr_Code, profile));
        else
            softfx::protocol::PutString(answer, static_cast<const char*>(lr_Code.code), lr_Code.size);
        vkd3d_shader_free_shader_code(&lr_Code);
    }
    softfx::protocol::PutString(answer, ls_Messages);
}

bool WriteAll(const std::string& bytes) {
    size_t lr_Done = 0;
    while (lr_Done < bytes.size()) {
        const ssize_t lr_Written = ::write(1, bytes.data() + lr_Done, bytes.size() - lr_Done);
        if (lr_Written < 0 && errno == EINTR) continue;
        if (lr_Written <= 0) return false;
        lr_Done += static_cast<size_t>(lr_Written);
    }
    return true;
}

void Limit(int resource, rlim_t value, rlim_t hard) {
    rlimit lr_Limit;
    lr_Limit.rlim_cur = value;
    lr_Limit.rlim_max = hard;
    ::setrlimit(resource, &lr_Limit);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const unsigned long long lr_CpuMilliseconds = std::strtoull(argv[1], nullptr, 10);
    const unsigned long long lr_MemoryBytes = std::strtoull(argv[2], nullptr, 10);
    // The caller watches both and stops the process at the budget; these are
    // the backstops the kernel enforces should the caller be late. The CPU
    // limit ends the process with SIGXCPU. An address-space limit cannot be
    // set under AddressSanitizer, whose shadow memory alone exceeds it.
    const rlim_t lr_Seconds = static_cast<rlim_t>(lr_CpuMilliseconds / 1000 + 2);
    Limit(RLIMIT_CPU, lr_Seconds, lr_Seconds + 1);
#ifndef SOFT_ADDRESS_SANITIZER
    Limit(RLIMIT_AS, static_cast<rlim_t>(lr_MemoryBytes), static_cast<rlim_t>(lr_MemoryBytes));
#else
    (void)lr_MemoryBytes;
#endif
    Limit(RLIMIT_CORE, 0, 0);
    setenv("VKD3D_SHADER_DEBUG", "none", 0);

    std::string ls_Request;
    char lr_Buffer[65536];
    for (;;) {
        const ssize_t lr_Read = ::read(0, lr_Buffer, sizeof(lr_Buffer));
        if (lr_Read < 0 && errno == EINTR) continue;
        if (lr_Read < 0) return 2;
        if (lr_Read == 0) break;
        ls_Request.append(lr_Buffer, static_cast<size_t>(lr_Read));
    }
    softfx::protocol::Reader lr_In(ls_Request);
    uint32_t lr_Magic = 0, lr_Jobs = 0, lr_Options = 0;
    std::string ls_SourceName, ls_Text;
    if (!lr_In.U32(lr_Magic) || std::memcmp(&lr_Magic, softfx::protocol::k_Magic, 4) != 0 || !lr_In.U32(lr_Jobs) ||
        !lr_In.U32(lr_Options) || !lr_In.String(ls_SourceName) || !lr_In.String(ls_Text))
        return 2;
    for (uint32_t j = 0; j < lr_Jobs; ++j) {
        std::string ls_Entry, ls_Profile, ls_Answer;
        if (!lr_In.String(ls_Entry) || !lr_In.String(ls_Profile)) return 2;
        Compile(ls_Text, ls_SourceName, ls_Entry, ls_Profile, (lr_Options & softfx::protocol::k_OptionOptimise) != 0,
                ls_Answer);
        if (!WriteAll(ls_Answer)) return 2;
    }
    // Not exit(): what the compiler leaked goes with the process, unexamined.
    ::_exit(0);
}
