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
    int File = 0;       // index into the file names Tokenize reports; 0 is the text itself
    size_t Offset = 0;  // of its first byte in the text (the text's size for the End token)
};

// A compiler diagnostic, printed as "path(line,col): error Xnnnn: message".
struct CompileError {
    std::string Code;
    std::string Message;
    int Line = 1;
    int Column = 1;
    std::string File;  // an included file the error lies in; empty for the text itself
    // Messages already in that form (from the shader compiler), one per
    // line; when set they are reported instead of the fields above.
    std::string Text;
};

// Splits the text into tokens, ending with one End token. The text is
// expected to have been preprocessed: line markers (`#line 5 "file"` or
// `# 5 "file"`) set the line and the file, whose names go to `files` (index
// 0 is the text itself), #pragma is ignored, and any other directive left
// over is an error rather than text misread in silence.
bool Tokenize(const char* data, size_t size, std::vector<Token>& tokens, CompileError& error,
              std::vector<std::string>* files = nullptr);

// A byte-order mark at the start of a file is not part of the text.
void SkipByteOrderMark(const char*& data, size_t& size);

}  // namespace softfx
