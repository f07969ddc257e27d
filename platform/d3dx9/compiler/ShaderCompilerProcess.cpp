// The compiler process: started with posix_spawn (no fork of this process,
// whose other threads may hold locks), fed its request through a memory
// file, watched while it runs and stopped at the budget.
#include "compiler/ShaderCompilerProcess.h"

#include "compiler/ShaderCompilerProtocol.h"

#include <soft/SoftEffectCompiler.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace softfx {
namespace {

constexpr DWORD k_DefaultCpuMilliseconds = 10000;
constexpr ULONGLONG k_DefaultMemoryBytes = 1ull << 30;
// A compiler that sleeps (it never should) is stopped after this many times its CPU budget in wall time.
constexpr int k_WallFactor = 10;
// How often the process's CPU time and memory are looked at.
constexpr int k_PollMilliseconds = 5;
// Answers larger than this are not the compiler's: stopped.
constexpr size_t k_MaxAnswerBytes = 64u << 20;

std::atomic<DWORD> g_CpuMilliseconds{k_DefaultCpuMilliseconds};
std::atomic<ULONGLONG> g_MemoryBytes{k_DefaultMemoryBytes};
std::atomic<ULONGLONG> g_Runs{0};

// Kept results, by budget, name and text, then by entry point and profile.
// Bounded: cleared whole when it holds more than this.
constexpr size_t k_MaxCachedBytes = 32u << 20;
struct CachedText {
    std::map<std::pair<std::string, std::string>, ShaderJob> Jobs;
};
std::mutex g_CacheMutex;
std::map<std::string, CachedText> g_Cache;
size_t g_CachedBytes = 0;

// Set to anything but "0" to compare the compiler's own streams with the optimised ones.
constexpr char k_NoOptimiserVariable[] = "SOFT_D3DX_NO_SHADER_OPTIMISER";

uint32_t RequestOptions() {
    const char* lr_Value_ = std::getenv(k_NoOptimiserVariable);
    const bool lr_Off = lr_Value_ && *lr_Value_ && std::strcmp(lr_Value_, "0") != 0;
    return lr_Off ? 0u : uint32_t(protocol::k_OptionOptimise);
}

std::string CacheKey(const char* text, size_t size, const std::string& sourceName, DWORD cpu, ULONGLONG memory,
                     uint32_t options) {
    std::string ls_Key;
    protocol::PutU32(ls_Key, options);
    protocol::PutU32(ls_Key, cpu);
    ls_Key += std::to_string(memory);
    protocol::PutString(ls_Key, sourceName);
    ls_Key.append(text, size);
    return ls_Key;
}

std::string Located(const std::string& sourceName, const std::string& text) {
    return sourceName + "(1,1): error X3000: " + text + "\n";
}

// The compiler sits beside this library.
std::string CompilerPath() {
    Dl_info lr_Info;
    if (!::dladdr(reinterpret_cast<void*>(&RunShaderCompiler), &lr_Info) || !lr_Info.dli_fname) return std::string();
    std::string ls_Path = lr_Info.dli_fname;
    const size_t lr_Slash = ls_Path.rfind('/');
    ls_Path = lr_Slash == std::string::npos ? std::string() : ls_Path.substr(0, lr_Slash + 1);
    return ls_Path + "d3dx9-hlsl";
}

// CPU milliseconds and resident bytes of a running process; false once it is gone.
bool Usage(pid_t pid, unsigned long long& cpuMilliseconds, unsigned long long& residentBytes) {
    char lr_Name[64];
    std::snprintf(lr_Name, sizeof(lr_Name), "/proc/%d/stat", static_cast<int>(pid));
    const int lr_File = ::open(lr_Name, O_RDONLY | O_CLOEXEC);
    if (lr_File < 0) return false;
    char lr_Text[1024];
    const ssize_t lr_Size = ::read(lr_File, lr_Text, sizeof(lr_Text) - 1);
    ::close(lr_File);
    if (lr_Size <= 0) return false;
    lr_Text[lr_Size] = '\0';
    // Fields after the command name, which is in parentheses and may hold anything.
    const char* lr_At = std::strrchr(lr_Text, ')');
    if (!lr_At) return false;
    unsigned long long lr_Fields[22] = {};
    int lr_Count = 0;
    ++lr_At;
    while (lr_Count < 22 && *lr_At) {
        while (*lr_At == ' ') ++lr_At;
        if (!*lr_At) break;
        lr_Fields[lr_Count++] = std::strtoull(lr_At, const_cast<char**>(&lr_At), 10);
        while (*lr_At && *lr_At != ' ') ++lr_At;
    }
    if (lr_Count < 22) return false;
    // Field 3 is the state, read as 0; utime and stime are fields 14 and 15, rss 24.
    static const long s_Ticks = ::sysconf(_SC_CLK_TCK);
    static const long s_Page = ::sysconf(_SC_PAGESIZE);
    cpuMilliseconds = (lr_Fields[11] + lr_Fields[12]) * 1000ull / static_cast<unsigned long long>(s_Ticks);
    residentBytes = lr_Fields[21] * static_cast<unsigned long long>(s_Page);
    return true;
}

struct FileDescriptor {
    int Value = -1;
    ~FileDescriptor() {
        if (Value >= 0) ::close(Value);
    }
};

enum class Outcome { Finished, CpuBudget, MemoryBudget, Stopped, NotStarted };

// Runs the compiler on `request`; `answer` gets what it wrote, even when it was stopped.
Outcome Run(const std::string& request, DWORD cpuMilliseconds, ULONGLONG memoryBytes, std::string& answer,
            std::string& detail) {
    const std::string ls_Compiler = CompilerPath();
    if (ls_Compiler.empty() || ::access(ls_Compiler.c_str(), X_OK) != 0) {
        detail =
            "the HLSL compiler " + (ls_Compiler.empty() ? std::string("d3dx9-hlsl") : ls_Compiler) + " cannot be run";
        return Outcome::NotStarted;
    }
    FileDescriptor lr_Request;
    lr_Request.Value = ::memfd_create("d3dx9-hlsl-request", MFD_CLOEXEC);
    if (lr_Request.Value < 0) {
        detail = std::string("no request file: ") + std::strerror(errno);
        return Outcome::NotStarted;
    }
    for (size_t lr_Done = 0; lr_Done < request.size();) {
        const ssize_t lr_Written = ::write(lr_Request.Value, request.data() + lr_Done, request.size() - lr_Done);
        if (lr_Written < 0 && errno == EINTR) continue;
        if (lr_Written <= 0) {
            detail = std::string("no request file: ") + std::strerror(errno);
            return Outcome::NotStarted;
        }
        lr_Done += static_cast<size_t>(lr_Written);
    }
    ::lseek(lr_Request.Value, 0, SEEK_SET);
    int lr_Pipe[2];
    if (::pipe2(lr_Pipe, O_CLOEXEC) != 0) {
        detail = std::string("no pipe: ") + std::strerror(errno);
        return Outcome::NotStarted;
    }
    FileDescriptor lr_Read, lr_Write;
    lr_Read.Value = lr_Pipe[0];
    lr_Write.Value = lr_Pipe[1];

    posix_spawn_file_actions_t lr_Actions;
    posix_spawn_file_actions_init(&lr_Actions);
    posix_spawn_file_actions_adddup2(&lr_Actions, lr_Request.Value, 0);
    posix_spawn_file_actions_adddup2(&lr_Actions, lr_Write.Value, 1);
    // A process of its own group, so that a stop reaches nothing else; default signal handling.
    posix_spawnattr_t lr_Attributes;
    posix_spawnattr_init(&lr_Attributes);
    sigset_t lr_Default;
    sigemptyset(&lr_Default);
    sigaddset(&lr_Default, SIGPIPE);
    sigaddset(&lr_Default, SIGXCPU);
    posix_spawnattr_setsigdefault(&lr_Attributes, &lr_Default);
    sigset_t lr_NoMask;
    sigemptyset(&lr_NoMask);
    posix_spawnattr_setsigmask(&lr_Attributes, &lr_NoMask);
    posix_spawnattr_setflags(&lr_Attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const std::string ls_Cpu = std::to_string(cpuMilliseconds);
    const std::string ls_Memory = std::to_string(memoryBytes);
    char* lr_Arguments[] = {const_cast<char*>(ls_Compiler.c_str()), const_cast<char*>(ls_Cpu.c_str()),
                            const_cast<char*>(ls_Memory.c_str()), nullptr};
    pid_t lr_Process = -1;
    const int lr_Spawned =
        ::posix_spawn(&lr_Process, ls_Compiler.c_str(), &lr_Actions, &lr_Attributes, lr_Arguments, environ);
    posix_spawn_file_actions_destroy(&lr_Actions);
    posix_spawnattr_destroy(&lr_Attributes);
    if (lr_Spawned != 0) {
        detail = std::string("the HLSL compiler could not start: ") + std::strerror(lr_Spawned);
        return Outcome::NotStarted;
    }
    ++g_Runs;
    ::close(lr_Write.Value);
    lr_Write.Value = -1;

    Outcome lr_Outcome = Outcome::Finished;
    const auto lr_Start = std::chrono::steady_clock::now();
    const auto lr_WallLimit = std::chrono::milliseconds(static_cast<long long>(cpuMilliseconds) * k_WallFactor + 1000);
    char lr_Buffer[65536];
    for (;;) {
        pollfd lr_Poll;
        lr_Poll.fd = lr_Read.Value;
        lr_Poll.events = POLLIN;
        lr_Poll.revents = 0;
        const int lr_Ready = ::poll(&lr_Poll, 1, k_PollMilliseconds);
        bool lr_Ended = false;
        if (lr_Ready > 0) {
            const ssize_t lr_Got = ::read(lr_Read.Value, lr_Buffer, sizeof(lr_Buffer));
            if (lr_Got > 0)
                answer.append(lr_Buffer, static_cast<size_t>(lr_Got));
            else if (lr_Got == 0 || (errno != EINTR && errno != EAGAIN))
                lr_Ended = true;
        }
        if (lr_Ended) break;
        unsigned long long lr_Cpu = 0, lr_Resident = 0;
        if (Usage(lr_Process, lr_Cpu, lr_Resident)) {
            if (lr_Cpu > cpuMilliseconds)
                lr_Outcome = Outcome::CpuBudget;
            else if (lr_Resident > memoryBytes)
                lr_Outcome = Outcome::MemoryBudget;
        }
        if (lr_Outcome == Outcome::Finished &&
            (answer.size() > k_MaxAnswerBytes || std::chrono::steady_clock::now() - lr_Start > lr_WallLimit))
            lr_Outcome = Outcome::Stopped;
        if (lr_Outcome != Outcome::Finished) {
            ::kill(lr_Process, SIGKILL);
            break;
        }
    }
    int lr_Status = 0;
    while (::waitpid(lr_Process, &lr_Status, 0) < 0 && errno == EINTR) {}
    if (lr_Outcome != Outcome::Finished) return lr_Outcome;
    if (WIFSIGNALED(lr_Status)) {
        const int lr_Signal = WTERMSIG(lr_Status);
        if (lr_Signal == SIGXCPU) return Outcome::CpuBudget;
        detail = "the HLSL compiler stopped on signal " + std::to_string(lr_Signal);
        return Outcome::Stopped;
    }
    if (!WIFEXITED(lr_Status) || WEXITSTATUS(lr_Status) != 0) {
        detail = "the HLSL compiler failed with exit status " + std::to_string(WEXITSTATUS(lr_Status));
        return Outcome::Stopped;
    }
    return Outcome::Finished;
}

std::string BudgetText(DWORD cpuMilliseconds, ULONGLONG memoryBytes, Outcome outcome) {
    if (outcome == Outcome::CpuBudget) {
        char lr_Seconds[32];
        std::snprintf(lr_Seconds, sizeof(lr_Seconds), "%g", cpuMilliseconds / 1000.0);
        return std::string("the effect's compile budget of ") + lr_Seconds + " s of CPU time";
    }
    char lr_Megabytes[32];
    std::snprintf(lr_Megabytes, sizeof(lr_Megabytes), "%g", static_cast<double>(memoryBytes) / (1 << 20));
    return std::string("the effect's compile budget of ") + lr_Megabytes + " MB of memory";
}

}  // namespace

bool RunShaderCompiler(const char* text, size_t size, const std::string& sourceName, std::vector<ShaderJob>& jobs,
                       std::string& errors) {
    errors.clear();
    const DWORD lr_Cpu = g_CpuMilliseconds.load();
    const ULONGLONG lr_Memory = g_MemoryBytes.load();
    const uint32_t lr_Options = RequestOptions();
    const std::string ls_Key = CacheKey(text, size, sourceName, lr_Cpu, lr_Memory, lr_Options);
    std::vector<size_t> lr_Missing;
    {
        std::lock_guard<std::mutex> lr_Lock(g_CacheMutex);
        const auto lr_Text = g_Cache.find(ls_Key);
        for (size_t j = 0; j < jobs.size(); ++j) {
            const auto lr_Job = lr_Text == g_Cache.end()
                                    ? std::map<std::pair<std::string, std::string>, ShaderJob>::const_iterator()
                                    : lr_Text->second.Jobs.find(std::make_pair(jobs[j].Entry, jobs[j].Profile));
            if (lr_Text != g_Cache.end() && lr_Job != lr_Text->second.Jobs.end())
                jobs[j] = lr_Job->second;
            else
                lr_Missing.push_back(j);
        }
    }
    if (lr_Missing.empty()) return true;

    std::string ls_Request(protocol::k_Magic, 4);
    protocol::PutU32(ls_Request, static_cast<uint32_t>(lr_Missing.size()));
    protocol::PutU32(ls_Request, lr_Options);
    protocol::PutString(ls_Request, sourceName);
    protocol::PutString(ls_Request, text, size);
    for (size_t j : lr_Missing) {
        protocol::PutString(ls_Request, jobs[j].Entry);
        protocol::PutString(ls_Request, jobs[j].Profile);
    }
    std::string ls_Answer, ls_Detail;
    const Outcome lr_Outcome = Run(ls_Request, lr_Cpu, lr_Memory, ls_Answer, ls_Detail);

    protocol::Reader lr_In(ls_Answer);
    size_t lr_Answered = 0;
    bool lr_OutOfMemory = false;
    for (; lr_Answered < lr_Missing.size(); ++lr_Answered) {
        ShaderJob& lr_Job = jobs[lr_Missing[lr_Answered]];
        const size_t lr_At = lr_In.At();
        uint32_t lr_Status = 0;
        if (!lr_In.U32(lr_Status) || !lr_In.String(lr_Job.Bytes) || !lr_In.String(lr_Job.Messages)) {
            lr_In.Rewind(lr_At);
            break;
        }
        if (lr_Status == protocol::k_OutOfMemory) {
            lr_Job.Bytes.clear();
            lr_Job.Messages.clear();
            lr_OutOfMemory = true;
            break;
        }
        lr_Job.Compiled = lr_Status == protocol::k_Compiled;
    }
    if (lr_Answered < lr_Missing.size()) {
        const ShaderJob& lr_Job = jobs[lr_Missing[lr_Answered]];
        const std::string ls_Which = "compiling '" + lr_Job.Entry + "' for " + lr_Job.Profile;
        if (lr_OutOfMemory || lr_Outcome == Outcome::MemoryBudget)
            errors =
                Located(sourceName, ls_Which + " went past " + BudgetText(lr_Cpu, lr_Memory, Outcome::MemoryBudget));
        else if (lr_Outcome == Outcome::CpuBudget)
            errors = Located(sourceName, ls_Which + " went past " + BudgetText(lr_Cpu, lr_Memory, Outcome::CpuBudget));
        else if (lr_Outcome == Outcome::Stopped && ls_Detail.empty())
            errors = Located(sourceName,
                             ls_Which + " took more than " + std::to_string(lr_Cpu / 1000.0 * k_WallFactor + 1) + " s");
        else
            errors = Located(
                sourceName,
                ls_Which + ": " + (ls_Detail.empty() ? std::string("the HLSL compiler gave no answer") : ls_Detail));
    }

    // What was answered is kept, a failed run's answers too; the failure itself is not, so a
    // compile stopped by a busy machine is tried again.
    std::lock_guard<std::mutex> lr_Lock(g_CacheMutex);
    size_t lr_Bytes = 0;
    for (size_t a = 0; a < lr_Answered; ++a) {
        const ShaderJob& lr_Job = jobs[lr_Missing[a]];
        lr_Bytes += lr_Job.Bytes.size() + lr_Job.Messages.size() + lr_Job.Entry.size() + lr_Job.Profile.size();
    }
    if (lr_Bytes == 0) return errors.empty();
    if (g_CachedBytes + lr_Bytes + ls_Key.size() > k_MaxCachedBytes) {
        g_Cache.clear();
        g_CachedBytes = 0;
    }
    if (lr_Bytes + ls_Key.size() <= k_MaxCachedBytes) {
        auto lr_Inserted = g_Cache.emplace(ls_Key, CachedText());
        if (lr_Inserted.second) g_CachedBytes += ls_Key.size();
        for (size_t a = 0; a < lr_Answered; ++a) {
            const ShaderJob& lr_Job = jobs[lr_Missing[a]];
            lr_Inserted.first->second.Jobs[std::make_pair(lr_Job.Entry, lr_Job.Profile)] = lr_Job;
        }
        g_CachedBytes += lr_Bytes;
    }
    return errors.empty();
}

}  // namespace softfx

extern "C" {

DECLSPEC_EXPORT void WINAPI SoftSetEffectCompileBudget(const SoftEffectCompileBudget* budget) {
    softfx::g_CpuMilliseconds =
        budget && budget->CpuMilliseconds ? budget->CpuMilliseconds : softfx::k_DefaultCpuMilliseconds;
    softfx::g_MemoryBytes = budget && budget->MemoryBytes ? budget->MemoryBytes : softfx::k_DefaultMemoryBytes;
}

DECLSPEC_EXPORT void WINAPI SoftGetEffectCompileBudget(SoftEffectCompileBudget* budget) {
    if (!budget) return;
    budget->CpuMilliseconds = softfx::g_CpuMilliseconds.load();
    budget->MemoryBytes = softfx::g_MemoryBytes.load();
}

DECLSPEC_EXPORT ULONGLONG WINAPI SoftGetEffectCompilerRuns() { return softfx::g_Runs.load(); }

}  // extern "C"
