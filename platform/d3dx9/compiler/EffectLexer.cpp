#include "compiler/EffectLexer.h"

#include <cstdlib>
#include <cstring>

namespace softfx {

namespace {

bool IsIdentStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || IsDigit(c); }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

const char* const kPunctuators[] = {"<<=", ">>=", "==", "!=", "<=", ">=", "&&", "||", "++", "--", "+=", "-=",
                                    "*=",  "/=",  "%=", "&=", "|=", "^=", "<<", ">>", "::", "{",  "}",  "(",
                                    ")",   "[",   "]",  ";",  ",",  ":",  "<",  ">",  "=",  "+",  "-",  "*",
                                    "/",   "%",   "!",  "~",  "&",  "|",  "^",  "?",  "."};

class Lexer {
public:
    Lexer(const char* data, size_t size, std::vector<Token>& tokens, CompileError& error,
          std::vector<std::string>& files)
        : mr_Data_(data), mr_Size(size), mr_Tokens(tokens), mr_Error(error), mr_Files(files) {}

    bool Run() {
        bool lr_LineStart = true;
        while (mr_Pos < mr_Size) {
            const char c = mr_Data_[mr_Pos];
            if (c == '\n') {
                Advance();
                lr_LineStart = true;
                continue;
            }
            if (IsSpace(c)) {
                Advance();
                continue;
            }
            if (c == '/' && Peek(1) == '/') {
                while (mr_Pos < mr_Size && mr_Data_[mr_Pos] != '\n') Advance();
                continue;
            }
            if (c == '/' && Peek(1) == '*') {
                const int lr_Line = mr_Line, lr_Col = mr_Column;
                Advance();
                Advance();
                bool lr_Closed = false;
                while (mr_Pos < mr_Size) {
                    if (mr_Data_[mr_Pos] == '*' && Peek(1) == '/') {
                        Advance();
                        Advance();
                        lr_Closed = true;
                        break;
                    }
                    Advance();
                }
                if (!lr_Closed) return Fail("X1004", "unexpected end of file in comment", lr_Line, lr_Col);
                continue;
            }
            if (c == '#') {
                if (!lr_LineStart) return Fail("X3000", "syntax error: unexpected token '#'", mr_Line, mr_Column);
                if (!Directive()) return false;
                lr_LineStart = true;
                continue;
            }
            lr_LineStart = false;
            if (IsIdentStart(c)) {
                Token lr_Token = Begin(TokenKind::Identifier);
                while (mr_Pos < mr_Size && IsIdentChar(mr_Data_[mr_Pos])) {
                    lr_Token.Text += mr_Data_[mr_Pos];
                    Advance();
                }
                mr_Tokens.push_back(std::move(lr_Token));
                continue;
            }
            if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
                if (!Number()) return false;
                continue;
            }
            if (c == '"') {
                if (!String()) return false;
                continue;
            }
            if (!Punct()) return false;
        }
        Token lr_End = Begin(TokenKind::End);
        mr_Tokens.push_back(lr_End);
        return true;
    }

private:
    char Peek(size_t offset) const { return mr_Pos + offset < mr_Size ? mr_Data_[mr_Pos + offset] : '\0'; }
    void Advance() {
        if (mr_Data_[mr_Pos] == '\n') {
            ++mr_Line;
            mr_Column = 1;
        } else {
            ++mr_Column;
        }
        ++mr_Pos;
    }
    Token Begin(TokenKind kind) const {
        Token lr_Token;
        lr_Token.Kind = kind;
        lr_Token.Line = mr_Line;
        lr_Token.Column = mr_Column;
        lr_Token.File = mr_File;
        lr_Token.Offset = mr_Pos;
        return lr_Token;
    }
    bool Fail(const char* code, const std::string& message, int line, int column) {
        mr_Error.Code = code;
        mr_Error.Message = message;
        mr_Error.Line = line;
        mr_Error.Column = column;
        mr_Error.File = mr_File > 0 ? mr_Files[static_cast<size_t>(mr_File)] : std::string();
        return false;
    }

    bool Number() {
        Token lr_Token = Begin(TokenKind::Integer);
        std::string ls_Text;
        if (mr_Data_[mr_Pos] == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
            Advance();
            Advance();
            while (mr_Pos < mr_Size && IsHexDigit(mr_Data_[mr_Pos])) {
                ls_Text += mr_Data_[mr_Pos];
                Advance();
            }
            if (ls_Text.empty() || ls_Text.size() > 16)
                return Fail("X3000", "syntax error: bad hexadecimal number", lr_Token.Line, lr_Token.Column);
            lr_Token.Number = static_cast<double>(std::strtoull(ls_Text.c_str(), nullptr, 16));
            while (mr_Pos < mr_Size && (mr_Data_[mr_Pos] == 'u' || mr_Data_[mr_Pos] == 'U' || mr_Data_[mr_Pos] == 'l' ||
                                        mr_Data_[mr_Pos] == 'L'))
                Advance();
        } else {
            bool lr_Float = false;
            while (mr_Pos < mr_Size && IsDigit(mr_Data_[mr_Pos])) {
                ls_Text += mr_Data_[mr_Pos];
                Advance();
            }
            if (mr_Pos < mr_Size && mr_Data_[mr_Pos] == '.') {
                lr_Float = true;
                ls_Text += '.';
                Advance();
                while (mr_Pos < mr_Size && IsDigit(mr_Data_[mr_Pos])) {
                    ls_Text += mr_Data_[mr_Pos];
                    Advance();
                }
            }
            if (mr_Pos < mr_Size && (mr_Data_[mr_Pos] == 'e' || mr_Data_[mr_Pos] == 'E')) {
                const char lr_Next = Peek(1);
                if (IsDigit(lr_Next) || ((lr_Next == '+' || lr_Next == '-') && IsDigit(Peek(2)))) {
                    lr_Float = true;
                    ls_Text += 'e';
                    Advance();
                    if (mr_Data_[mr_Pos] == '+' || mr_Data_[mr_Pos] == '-') {
                        ls_Text += mr_Data_[mr_Pos];
                        Advance();
                    }
                    while (mr_Pos < mr_Size && IsDigit(mr_Data_[mr_Pos])) {
                        ls_Text += mr_Data_[mr_Pos];
                        Advance();
                    }
                }
            }
            if (mr_Pos < mr_Size) {
                const char s = mr_Data_[mr_Pos];
                if (s == 'f' || s == 'F' || s == 'h' || s == 'H') {
                    lr_Float = true;
                    Advance();
                } else if (s == 'u' || s == 'U' || s == 'l' || s == 'L') {
                    Advance();
                }
            }
            lr_Token.Kind = lr_Float ? TokenKind::Float : TokenKind::Integer;
            lr_Token.Number = std::strtod(ls_Text.c_str(), nullptr);
        }
        if (mr_Pos < mr_Size && IsIdentChar(mr_Data_[mr_Pos]))
            return Fail("X3000", "syntax error: bad numeric literal", lr_Token.Line, lr_Token.Column);
        lr_Token.Text = ls_Text;
        mr_Tokens.push_back(std::move(lr_Token));
        return true;
    }

    bool String() {
        Token lr_Token = Begin(TokenKind::String);
        Advance();
        while (true) {
            if (mr_Pos >= mr_Size || mr_Data_[mr_Pos] == '\n')
                return Fail("X1010", "newline or end of file in string constant", lr_Token.Line, lr_Token.Column);
            const char c = mr_Data_[mr_Pos];
            if (c == '"') {
                Advance();
                break;
            }
            if (c == '\0') return Fail("X3000", "Illegal character in shader file", mr_Line, mr_Column);
            if (c == '\\') {
                Advance();
                if (mr_Pos >= mr_Size) continue;
                const char e = mr_Data_[mr_Pos];
                switch (e) {
                case 'n': lr_Token.Text += '\n'; break;
                case 't': lr_Token.Text += '\t'; break;
                case 'r': lr_Token.Text += '\r'; break;
                case '0': return Fail("X3000", "Illegal character in shader file", mr_Line, mr_Column);
                case '\n': return Fail("X1010", "newline in string constant", lr_Token.Line, lr_Token.Column);
                default: lr_Token.Text += e; break;
                }
                Advance();
                continue;
            }
            lr_Token.Text += c;
            Advance();
        }
        mr_Tokens.push_back(std::move(lr_Token));
        return true;
    }

    bool Punct() {
        for (const char* p : kPunctuators) {
            const size_t n = std::strlen(p);
            if (mr_Pos + n <= mr_Size && std::memcmp(mr_Data_ + mr_Pos, p, n) == 0) {
                Token lr_Token = Begin(TokenKind::Punct);
                lr_Token.Text = p;
                for (size_t i = 0; i < n; ++i) Advance();
                mr_Tokens.push_back(std::move(lr_Token));
                return true;
            }
        }
        return Fail("X3000", "Illegal character in shader file", mr_Line, mr_Column);
    }

    // Reads the directive's line (with backslash continuations) and acts on it.
    bool Directive() {
        const int lr_Line = mr_Line, lr_Col = mr_Column;
        std::string ls_Text;
        while (mr_Pos < mr_Size && mr_Data_[mr_Pos] != '\n') {
            if (mr_Data_[mr_Pos] == '\\' && Peek(1) == '\n') {
                Advance();
                Advance();
                ls_Text += ' ';
                continue;
            }
            if (mr_Data_[mr_Pos] == '\\' && Peek(1) == '\r' && Peek(2) == '\n') {
                Advance();
                Advance();
                Advance();
                ls_Text += ' ';
                continue;
            }
            ls_Text += mr_Data_[mr_Pos];
            Advance();
        }
        size_t i = 1;
        while (i < ls_Text.size() && (ls_Text[i] == ' ' || ls_Text[i] == '\t')) ++i;
        size_t j = i;
        while (j < ls_Text.size() && IsIdentChar(ls_Text[j])) ++j;
        const std::string ls_Name = ls_Text.substr(i, j - i);
        if (ls_Name == "pragma" || (ls_Name.empty() && j >= ls_Text.size())) return true;
        // A line marker: "#line 5", "#line 5 \"file\"" or "# 5 \"file\"".
        if (ls_Name == "line" || (!ls_Name.empty() && IsDigit(ls_Name[0]))) {
            if (ls_Name != "line") j = i;
            while (j < ls_Text.size() && (ls_Text[j] == ' ' || ls_Text[j] == '\t')) ++j;
            size_t k = j;
            while (k < ls_Text.size() && IsDigit(ls_Text[k]) && k - j < 9) ++k;
            if (k == j) return Fail("X1000", "#line expects a line number", lr_Line, lr_Col);
            const int lr_Number = std::atoi(ls_Text.substr(j, k - j).c_str());
            while (k < ls_Text.size() && (ls_Text[k] == ' ' || ls_Text[k] == '\t')) ++k;
            if (k < ls_Text.size() && ls_Text[k] == '"') {
                std::string ls_File;
                for (++k; k < ls_Text.size() && ls_Text[k] != '"'; ++k) {
                    if (ls_Text[k] == '\\' && k + 1 < ls_Text.size()) ++k;
                    ls_File += ls_Text[k];
                }
                mr_File = FileIndex(ls_File);
            }
            // The directive's own newline is still ahead and will count once.
            mr_Line = lr_Number - 1;
            return true;
        }
        return Fail("X1000", "unsupported preprocessor directive '#" + ls_Name + "'", lr_Line, lr_Col);
    }

    const char* mr_Data_;
    size_t mr_Size;
    size_t mr_Pos = 0;
    int FileIndex(const std::string& name) {
        for (size_t i = 0; i < mr_Files.size(); ++i)
            if (mr_Files[i] == name) return static_cast<int>(i);
        mr_Files.push_back(name);
        return static_cast<int>(mr_Files.size() - 1);
    }

    int mr_Line = 1;
    int mr_Column = 1;
    int mr_File = 0;
    std::vector<Token>& mr_Tokens;
    CompileError& mr_Error;
    std::vector<std::string>& mr_Files;
};

}  // namespace

void SkipByteOrderMark(const char*& data, size_t& size) {
    if (size >= 3 && static_cast<unsigned char>(data[0]) == 0xEF && static_cast<unsigned char>(data[1]) == 0xBB &&
        static_cast<unsigned char>(data[2]) == 0xBF) {
        data += 3;
        size -= 3;
    }
}

bool Tokenize(const char* data, size_t size, std::vector<Token>& tokens, CompileError& error,
              std::vector<std::string>* files) {
    tokens.clear();
    std::vector<std::string> lr_Files{std::string()};
    Lexer lr_Lexer(data, size, tokens, error, files ? *files : lr_Files);
    if (files) files->assign(1, std::string());
    return lr_Lexer.Run();
}

}  // namespace softfx
