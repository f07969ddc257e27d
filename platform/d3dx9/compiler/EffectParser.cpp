// The effect parser: its top level, token access and the finishing steps
// after the text; the rest is in EffectParser{Declarations,Expressions,Passes}.cpp.
#include "compiler/EffectParserInternal.h"

namespace softfx {

bool Parser::Run() {
    while (!AtEnd()) {
        if (IsPunct(";")) {
            ++mr_Pos;
        } else if (IsIdent("struct")) {
            if (!ParseStruct()) return false;
        } else if (IsIdent("typedef")) {
            if (!ParseTypedef()) return false;
        } else if (IsIdent("technique")) {
            const size_t lr_Start = Cur().Offset;
            if (!ParseTechnique()) return false;
            mr_Blanks.push_back({lr_Start, Cur().Offset});
        } else if (IsPunct("[")) {
            if (!SkipBalanced("[", "]", nullptr)) return false;
        } else {
            const size_t lr_Start = Cur().Offset;
            const size_t lr_Shaders = mr_Def.Shaders.size();
            if (!ParseDeclaration()) return false;
            if (mr_Def.Shaders.size() != lr_Shaders) mr_Blanks.push_back({lr_Start, Cur().Offset});
        }
    }
    return Finish();
}

const Token& Parser::Ahead(size_t n) const {
    const size_t i = mr_Pos + n;
    return i < mr_Tokens.size() ? mr_Tokens[i] : mr_Tokens.back();
}

void Parser::Next() {
    if (!AtEnd()) ++mr_Pos;
}

bool Parser::Fail(const char* code, const std::string& message, const Token& at) {
    mr_Error.Code = code;
    mr_Error.Message = message;
    Locate(at.Line, at.Column, at.File);
    return false;
}

void Parser::Locate(int line, int column, int file) {
    mr_Error.Line = line;
    mr_Error.Column = column;
    mr_Error.File =
        file > 0 && static_cast<size_t>(file) < mr_Files.size() ? mr_Files[static_cast<size_t>(file)] : std::string();
}

bool Parser::Unexpected() {
    if (AtEnd()) return Fail("X3000", "syntax error: unexpected end of file", Cur());
    return Fail("X3000", "syntax error: unexpected token '" + Cur().Text + "'", Cur());
}

bool Parser::Expect(const char* p) {
    if (!IsPunct(p)) return Unexpected();
    Next();
    return true;
}

bool Parser::ExpectIdent(std::string& name) {
    if (Cur().Kind != TokenKind::Identifier) return Unexpected();
    name = Cur().Text;
    Next();
    return true;
}

bool Parser::SkipBalanced(const char* open, const char* close, std::unordered_set<std::string>* identifiers) {
    if (!Expect(open)) return false;
    size_t lr_Depth = 1;
    while (lr_Depth > 0) {
        if (AtEnd()) return Unexpected();
        const Token& t = Cur();
        if (t.Kind == TokenKind::Punct) {
            if (t.Text == open)
                ++lr_Depth;
            else if (t.Text == close)
                --lr_Depth;
        } else if (t.Kind == TokenKind::Identifier && identifiers) {
            identifiers->insert(t.Text);
        }
        Next();
    }
    return true;
}

const std::unordered_set<std::string>& Parser::Reachable(const std::string& entry) {
    auto lr_Cached = mr_Reachable.find(entry);
    if (lr_Cached != mr_Reachable.end()) return lr_Cached->second;
    std::unordered_set<std::string> lr_Seen;
    std::unordered_set<std::string> lr_Functions{entry};
    std::vector<std::string> lr_Queue{entry};
    while (!lr_Queue.empty()) {
        const std::string ls_Function = lr_Queue.back();
        lr_Queue.pop_back();
        auto lr_Body = mr_Functions.find(ls_Function);
        if (lr_Body == mr_Functions.end()) continue;
        for (const std::string& ls_Id : lr_Body->second) {
            lr_Seen.insert(ls_Id);
            if (mr_Functions.count(ls_Id) && lr_Functions.insert(ls_Id).second) lr_Queue.push_back(ls_Id);
        }
    }
    return mr_Reachable.emplace(entry, std::move(lr_Seen)).first->second;
}

bool Parser::Finish() {
    for (const PendingEntry& lr_Entry : mr_Entries) {
        CompiledShader& lr_Shader = mr_Def.Shaders[lr_Entry.Shader];
        if (!mr_Functions.count(lr_Shader.Entry)) {
            mr_Error.Code = "X3501";
            mr_Error.Message = "'" + lr_Shader.Entry + "': entrypoint not found";
            Locate(lr_Entry.Line, lr_Entry.Column, lr_Entry.File);
            return false;
        }
    }
    for (CompiledShader& lr_Shader : mr_Def.Shaders) {
        const std::unordered_set<std::string>& lr_Used = Reachable(lr_Shader.Entry);
        for (UINT lr_Global : mr_Def.Globals)
            if (lr_Used.count(mr_Def.Nodes[lr_Global].Name)) lr_Shader.UsedGlobals.push_back(lr_Global);
    }
    return true;
}

bool CompileEffect(const char* data, size_t size, const std::string& sourceName, EffectDefinition& definition,
                   CompileError& error) {
    // Token offsets index the text the shader compiler is given below.
    SkipByteOrderMark(data, size);
    std::vector<Token> lr_Tokens;
    std::vector<std::string> lr_Files;
    if (!Tokenize(data, size, lr_Tokens, error, &lr_Files)) return false;
    Parser lr_Parser(lr_Tokens, lr_Files, definition, error);
    if (!lr_Parser.Run()) return false;
    // The shader compiler sees the text with those ranges blanked, line
    // breaks kept so that its messages point at the right lines.
    std::string ls_Shaders(data, size);
    for (const auto& lr_Blank : lr_Parser.Blanks())
        for (size_t i = lr_Blank.first; i < lr_Blank.second && i < ls_Shaders.size(); ++i)
            if (ls_Shaders[i] != '\n') ls_Shaders[i] = ' ';
    return CompileEffectShaders(ls_Shaders.data(), ls_Shaders.size(), sourceName, definition, error);
}

}  // namespace softfx
