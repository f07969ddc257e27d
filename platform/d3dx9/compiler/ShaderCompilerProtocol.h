// What the substitute D3DX and its compiler process say to each other. The
// request goes in on the process's standard input, the answers come back on
// its standard output, one per job as soon as it is done, so that a process
// stopped at its budget still hands back what it finished.
//
// Request: "SXC2", u32 job count, u32 options (k_Option*), string source
// name, string text, then per job: string entry point, string profile. Answer per job: u32 status, string
// token bytes, string messages. A string is a u32 length and its bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace softfx {
namespace protocol {

constexpr char k_Magic[4] = {'S', 'X', 'C', '2'};

enum Option : uint32_t {
    k_OptionOptimise = 1,  // the compiled streams go through ShaderOptimiser.h
};

enum Status : uint32_t {
    k_Compiled = 0,
    k_Refused = 1,      // the compiler's messages say why
    k_OutOfMemory = 2,  // the compiler ran out of memory
};

inline void PutU32(std::string& out, uint32_t value) {
    char lr_Bytes[4];
    std::memcpy(lr_Bytes, &value, 4);
    out.append(lr_Bytes, 4);
}

inline void PutString(std::string& out, const char* data, size_t size) {
    PutU32(out, static_cast<uint32_t>(size));
    out.append(data, size);
}

inline void PutString(std::string& out, const std::string& text) { PutString(out, text.data(), text.size()); }

// Reads from `in` at `at`; false (and `at` unchanged) when the bytes run out.
class Reader {
public:
    Reader(const std::string& in) : mr_In(in), mr_At(0) {}
    bool U32(uint32_t& value) {
        if (mr_In.size() - mr_At < 4) return false;
        std::memcpy(&value, mr_In.data() + mr_At, 4);
        mr_At += 4;
        return true;
    }
    bool String(std::string& text) {
        uint32_t lr_Size = 0;
        const size_t lr_Start = mr_At;
        if (!U32(lr_Size) || mr_In.size() - mr_At < lr_Size) {
            mr_At = lr_Start;
            return false;
        }
        text.assign(mr_In, mr_At, lr_Size);
        mr_At += lr_Size;
        return true;
    }
    size_t At() const { return mr_At; }
    void Rewind(size_t at) { mr_At = at; }

private:
    const std::string& mr_In;
    size_t mr_At;
};

}  // namespace protocol
}  // namespace softfx
