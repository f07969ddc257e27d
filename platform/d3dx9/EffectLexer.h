// Tokenizer for effect source text (fx_2_0 HLSL). Works on an explicit
// length: embedded NULs and stray bytes are errors, never terminators.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace softfx {

enum class TokenKind { Identifier, Integer, Float, String, Punct, End };

struct Token {
    TokenKind Kind = TokenKind::End;
    std::string Text;     // identifier, punctuation, or the unescaped string contents
    double Number = 0.0;  // value of Integer and Float tokens
    int Line = 1;
    int Column = 1;
    size_t Offset = 0;  // of its first byte in the text (the text's size for the End token)
};

// A compiler diagnostic, printed as "path(line,col): error Xnnnn: message".
struct CompileError {
    std::string Code;
    std::string Message;
    int Line = 1;
    int Column = 1;
    // Messages already in that form (from the shader compiler), one per
    // line; when set they are reported instead of the fields above.
    std::string Text;
};

// Splits the text into tokens, ending with one End token. Preprocessor
// lines: #line sets the line number, #pragma is ignored, anything else
// (#define, #include, #if...) is reported as unsupported, because without a
// preprocessor the text after it would be misread silently.
bool Tokenize(const char* data, size_t size, std::vector<Token>& tokens, CompileError& error);

}  // namespace softfx
