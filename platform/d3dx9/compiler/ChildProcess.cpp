#include "compiler/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace softfx {

namespace {

// A message: one byte of kind, eight of length, then the bytes.
constexpr char k_Question = 'Q';
constexpr char k_Answer = 'A';
constexpr char k_Result = 'R';

bool SendAll(int socket, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t lr_Sent = ::send(socket, data, size, MSG_NOSIGNAL);
        if (lr_Sent < 0 && errno == EINTR) continue;
        if (lr_Sent <= 0) return false;
        data += lr_Sent;
        size -= static_cast<size_t>(lr_Sent);
    }
    return true;
}

bool SendMessage(int socket, char kind, const std::string& bytes) {
    char lr_Header[9];
    lr_Header[0] = kind;
    const uint64_t lr_Size = bytes.size();
    std::memcpy(lr_Header + 1, &lr_Size, sizeof(lr_Size));
    return SendAll(socket, lr_Header, sizeof(lr_Header)) && SendAll(socket, bytes.data(), bytes.size());
}

bool ReceiveAll(int socket, char* data, size_t size) {
    while (size > 0) {
        const ssize_t lr_Read = ::recv(socket, data, size, 0);
        if (lr_Read < 0 && errno == EINTR) continue;
        if (lr_Read <= 0) return false;
        data += lr_Read;
        size -= static_cast<size_t>(lr_Read);
    }
    return true;
}

class SocketChannel final : public IChildChannel {
public:
    explicit SocketChannel(int socket) : mr_Socket(socket) {}
    bool Ask(const std::string& request, std::string& answer) override {
        if (!SendMessage(mr_Socket, k_Question, request)) return false;
        char lr_Header[9];
        if (!ReceiveAll(mr_Socket, lr_Header, sizeof(lr_Header)) || lr_Header[0] != k_Answer) return false;
        uint64_t lr_Size;
        std::memcpy(&lr_Size, lr_Header + 1, sizeof(lr_Size));
        answer.resize(lr_Size);
        return ReceiveAll(mr_Socket, &answer[0], answer.size());
    }

private:
    int mr_Socket;
};

// Resident bytes of a process, 0 when unknown.
size_t ResidentBytes(pid_t pid) {
    char ls_Path[64];
    std::snprintf(ls_Path, sizeof(ls_Path), "/proc/%d/statm", static_cast<int>(pid));
    std::FILE* lr_File_ = std::fopen(ls_Path, "r");
    if (!lr_File_) return 0;
    unsigned long lr_Size = 0, lr_Resident = 0;
    const int lr_Read = std::fscanf(lr_File_, "%lu %lu", &lr_Size, &lr_Resident);
    std::fclose(lr_File_);
    return lr_Read == 2 ? static_cast<size_t>(lr_Resident) * static_cast<size_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

void KillAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
}

}  // namespace

ChildOutcome RunInChild(const std::function<void(IChildChannel&, std::string&)>& work,
                        const std::function<std::string(const std::string&)>& answer, const ChildBudget& budget,
                        std::string& result) {
    result.clear();
    int lr_Sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, lr_Sockets) != 0) return ChildOutcome::Failed;
    const pid_t lr_Child = ::fork();
    if (lr_Child < 0) {
        ::close(lr_Sockets[0]);
        ::close(lr_Sockets[1]);
        return ChildOutcome::Failed;
    }
    if (lr_Child == 0) {
        // Only this thread exists here; _exit skips destructors, atexit
        // handlers and stdio buffers that belong to the parent.
        ::close(lr_Sockets[0]);
        SocketChannel lr_Channel(lr_Sockets[1]);
        std::string ls_Result;
        work(lr_Channel, ls_Result);
        ::_exit(SendMessage(lr_Sockets[1], k_Result, ls_Result) ? 0 : 1);
    }
    ::close(lr_Sockets[1]);
    const int lr_Socket = lr_Sockets[0];
    const auto lr_Start = std::chrono::steady_clock::now();
    const size_t lr_Baseline = ResidentBytes(lr_Child);
    std::string ls_Pending;
    bool lr_HaveResult = false;
    ChildOutcome lr_Outcome = ChildOutcome::Finished;
    for (;;) {
        const double lr_Elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - lr_Start).count();
        if (lr_Elapsed > budget.WallSeconds) {
            lr_Outcome = ChildOutcome::OverTime;
            break;
        }
        const size_t lr_Resident = ResidentBytes(lr_Child);
        if (lr_Resident > lr_Baseline && lr_Resident - lr_Baseline > budget.MemoryBytes) {
            lr_Outcome = ChildOutcome::OverMemory;
            break;
        }
        pollfd lr_Poll{lr_Socket, POLLIN, 0};
        const int lr_Ready = ::poll(&lr_Poll, 1, 10);
        if (lr_Ready < 0 && errno != EINTR) {
            lr_Outcome = ChildOutcome::Failed;
            break;
        }
        if (lr_Ready <= 0) continue;
        char lr_Buffer[65536];
        const ssize_t lr_Read = ::recv(lr_Socket, lr_Buffer, sizeof(lr_Buffer), 0);
        if (lr_Read < 0 && errno == EINTR) continue;
        if (lr_Read <= 0) break;  // the child is done or gone
        ls_Pending.append(lr_Buffer, static_cast<size_t>(lr_Read));
        // Whole messages at the front of what has arrived.
        while (ls_Pending.size() >= 9) {
            uint64_t lr_Size;
            std::memcpy(&lr_Size, ls_Pending.data() + 1, sizeof(lr_Size));
            if (ls_Pending.size() - 9 < lr_Size) break;
            const char lr_Kind = ls_Pending[0];
            std::string ls_Body = ls_Pending.substr(9, lr_Size);
            ls_Pending.erase(0, 9 + lr_Size);
            if (lr_Kind == k_Question) {
                if (!SendMessage(lr_Socket, k_Answer, answer(ls_Body))) lr_Outcome = ChildOutcome::Failed;
            } else if (lr_Kind == k_Result) {
                result = std::move(ls_Body);
                lr_HaveResult = true;
            }
        }
        if (lr_Outcome != ChildOutcome::Finished) break;
    }
    ::close(lr_Socket);
    if (lr_Outcome != ChildOutcome::Finished) {
        KillAndReap(lr_Child);
        result.clear();
        return lr_Outcome;
    }
    int lr_Status = 0;
    pid_t lr_Waited;
    while ((lr_Waited = ::waitpid(lr_Child, &lr_Status, 0)) < 0 && errno == EINTR) {}
    // A host that ignores SIGCHLD has its children reaped for it (ECHILD).
    const bool lr_Exited = lr_Waited < 0 ? errno == ECHILD : (WIFEXITED(lr_Status) && WEXITSTATUS(lr_Status) == 0);
    if (!lr_HaveResult || !lr_Exited) {
        result.clear();
        return ChildOutcome::Failed;
    }
    return ChildOutcome::Finished;
}

}  // namespace softfx
