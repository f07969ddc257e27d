// The comments of a shader's token stream: the blocks between the version
// token and the first instruction in which the compiler leaves its constant
// table ("CTAB") and the entry point's name ("FUNC", the name NUL-padded).
// Standard C++ and 32-bit tokens only, so that the Windows programs, built
// against the real SDK, read a stream as the substitute does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// The payload after the fourcc of the first leading comment that starts
// with `fourcc`, and its size in tokens; null when there is none. `count`
// bounds the walk (SIZE_MAX when the stream's length is not known: the walk
// stops at the first instruction anyway).
template <typename Token>
const Token* SoftFindShaderComment(const Token* tokens, size_t count, const char (&fourcc)[5], size_t* words) {
    static_assert(sizeof(Token) == 4, "shader tokens are 32 bits");
    for (size_t i = 1; i < count && (tokens[i] & 0xFFFF) == 0xFFFE;) {
        const size_t lr_Words = (tokens[i] >> 16) & 0x7FFF;
        if (lr_Words > count - i - 1) return nullptr;
        if (lr_Words >= 1 && std::memcmp(&tokens[i + 1], fourcc, 4) == 0) {
            *words = lr_Words - 1;
            return &tokens[i + 2];
        }
        i += 1 + lr_Words;
    }
    return nullptr;
}

// The entry point the "FUNC" comment names, or empty.
template <typename Token>
std::string SoftShaderEntryName(const Token* tokens, size_t count) {
    size_t lr_Words = 0;
    const Token* lr_Payload = SoftFindShaderComment(tokens, count, "FUNC", &lr_Words);
    if (!lr_Payload) return std::string();
    const char* lr_Text = reinterpret_cast<const char*>(lr_Payload);
    size_t n = 0;
    while (n < lr_Words * 4 && lr_Text[n]) ++n;
    return std::string(lr_Text, n);
}

// Tokens up to and with the end token, comments skipped whole; 0 when no end
// token comes within `count`. Instruction tokens are stepped one at a time:
// parameter tokens have their top bit set, so none is taken for the end.
template <typename Token>
size_t SoftShaderTokenCount(const Token* tokens, size_t count) {
    static_assert(sizeof(Token) == 4, "shader tokens are 32 bits");
    for (size_t i = 1; i < count;) {
        if (tokens[i] == 0x0000FFFF) return i + 1;
        i += (tokens[i] & 0xFFFF) == 0xFFFE ? 1 + ((tokens[i] >> 16) & 0x7FFF) : 1;
    }
    return 0;
}
