// vkd3d-shader's preprocessor does the work. It runs in a child process with
// a budget, since a few lines of macros can expand without end; includes are
// opened here in the caller's process, so that an ID3DXInclude sees its
// calls and file rules are checked in one place.
#include "compiler/EffectPreprocessor.h"

#include "compiler/ChildProcess.h"
#include "core/HostFile.h"
#include "compiler/ShaderCompiler.h"

#include <vkd3d_shader.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
#include <new>
#include <sstream>
#include <vector>

namespace softfx {

namespace {

const char k_BeginInclude[] = "#pragma softfx_include_begin";
const char k_EndInclude[] = "#pragma softfx_include_end";
constexpr size_t k_MaxDefines = 4096;
constexpr double k_PreprocessSeconds = 10.0;
constexpr size_t k_PreprocessMemory = 64u << 20;

// vkd3d-shader's preprocessor joins the lines of a block comment or of a
// backslash continuation into one, and drops #line. So before it runs, such
// lines are joined here and the lost line breaks added after the line they
// end, and #line becomes a bare line marker ("# 40"), which passes through
// to the readers after it. Each file then keeps its own line numbers.
std::string KeepLineNumbers(const char* text, size_t size) {
    std::string ls_Out;
    ls_Out.reserve(size + 16);
    size_t lr_Pending = 0;  // line breaks owed at the end of the current line
    size_t lr_LineStart = 0;
    auto lr_EndLine = [&] {
        // "#line" at the start of the line just finished becomes "#    ".
        size_t i = lr_LineStart;
        while (i < ls_Out.size() && (ls_Out[i] == ' ' || ls_Out[i] == '\t')) ++i;
        if (i < ls_Out.size() && ls_Out[i] == '#') {
            size_t j = i + 1;
            while (j < ls_Out.size() && (ls_Out[j] == ' ' || ls_Out[j] == '\t')) ++j;
            if (ls_Out.compare(j, 4, "line") == 0 && j + 4 < ls_Out.size() &&
                (ls_Out[j + 4] == ' ' || ls_Out[j + 4] == '\t'))
                ls_Out.replace(j, 4, "    ");
        }
        ls_Out.append(1 + lr_Pending, '\n');
        lr_Pending = 0;
        lr_LineStart = ls_Out.size();
    };
    size_t i = 0;
    while (i < size) {
        const char c = text[i];
        const char lr_Next = i + 1 < size ? text[i + 1] : '\0';
        if (c == '\n') {
            lr_EndLine();
            ++i;
        } else if (c == '\\' && (lr_Next == '\n' || (lr_Next == '\r' && i + 2 < size && text[i + 2] == '\n'))) {
            i += lr_Next == '\n' ? 2 : 3;
            ++lr_Pending;
        } else if (c == '/' && lr_Next == '*') {
            size_t j = i + 2;
            while (j < size && !(text[j] == '*' && j + 1 < size && text[j + 1] == '/')) {
                if (text[j] == '\n') ++lr_Pending;
                ++j;
            }
            if (j >= size) {  // unterminated: left for the preprocessor to report
                ls_Out.append(text + i, size - i);
                break;
            }
            ls_Out += ' ';
            i = j + 2;
        } else if (c == '/' && lr_Next == '/') {
            while (i < size && text[i] != '\n') ls_Out += text[i++];
        } else if (c == '"' || c == '\'') {
            ls_Out += text[i++];
            while (i < size && text[i] != c && text[i] != '\n') {
                if (text[i] == '\\' && i + 1 < size && text[i + 1] != '\n') ls_Out += text[i++];
                ls_Out += text[i++];
            }
            if (i < size && text[i] == c) ls_Out += text[i++];
        } else {
            ls_Out += c;
            ++i;
        }
    }
    if (lr_Pending) lr_EndLine();
    return ls_Out;
}

// ---- the child: runs the preprocessor, asks the parent for includes ----

struct ChildIncludes {
    IChildChannel* Channel;
    const void* TopText;
    std::map<const void*, std::string> Ids;  // included text -> its id in the parent
    std::list<std::string> Texts;            // kept until the child ends
};

int OpenInclude(const char* filename, bool local, const char* parent_data, void* context, vkd3d_shader_code* out) {
    ChildIncludes& lr_Includes = *static_cast<ChildIncludes*>(context);
    auto lr_Parent = lr_Includes.Ids.find(parent_data);
    const std::string ls_Parent = lr_Parent == lr_Includes.Ids.end() ? "0" : lr_Parent->second;
    std::string ls_Answer;
    if (!lr_Includes.Channel->Ask(std::string(local ? "L" : "S") + ls_Parent + "\n" + filename, ls_Answer) ||
        ls_Answer.empty() || ls_Answer[0] != '1')
        return VKD3D_ERROR;
    const size_t lr_Newline = ls_Answer.find('\n');
    if (lr_Newline == std::string::npos) return VKD3D_ERROR;
    lr_Includes.Texts.push_back(ls_Answer.substr(lr_Newline + 1));
    out->code = lr_Includes.Texts.back().data();
    out->size = lr_Includes.Texts.back().size();
    lr_Includes.Ids[out->code] = ls_Answer.substr(1, lr_Newline - 1);
    return VKD3D_OK;
}

void CloseInclude(const vkd3d_shader_code*, void*) {}

void AppendSize(std::string& out, uint64_t size) { out.append(reinterpret_cast<const char*>(&size), sizeof(size)); }

// Result: status (8 bytes), expanded size (8 bytes), expanded text, messages.
void RunPreprocessor(const PreprocessRequest& request, IChildChannel& channel, std::string& result) {
    std::vector<vkd3d_shader_macro> lr_Macros;
    for (const D3DXMACRO* d = request.Defines; d && d->Name && lr_Macros.size() < k_MaxDefines; ++d)
        lr_Macros.push_back({d->Name, d->Definition ? d->Definition : ""});
    ChildIncludes lr_Includes{&channel, request.Text, {}, {}};
    lr_Includes.Ids[request.Text] = "0";
    vkd3d_shader_preprocess_info lr_Preprocess;
    std::memset(&lr_Preprocess, 0, sizeof(lr_Preprocess));
    lr_Preprocess.type = VKD3D_SHADER_STRUCTURE_TYPE_PREPROCESS_INFO;
    lr_Preprocess.macros = lr_Macros.data();
    lr_Preprocess.macro_count = static_cast<unsigned>(lr_Macros.size());
    lr_Preprocess.pfn_open_include = OpenInclude;
    lr_Preprocess.pfn_close_include = CloseInclude;
    lr_Preprocess.include_context = &lr_Includes;
    vkd3d_shader_compile_info lr_Info;
    std::memset(&lr_Info, 0, sizeof(lr_Info));
    lr_Info.type = VKD3D_SHADER_STRUCTURE_TYPE_COMPILE_INFO;
    lr_Info.next = &lr_Preprocess;
    lr_Info.source.code = request.Text;
    lr_Info.source.size = request.Size;
    lr_Info.source_type = VKD3D_SHADER_SOURCE_HLSL;
    lr_Info.target_type = VKD3D_SHADER_TARGET_D3D_BYTECODE;
    lr_Info.log_level = VKD3D_SHADER_LOG_WARNING;
    lr_Info.source_name = request.SourceName.c_str();
    vkd3d_shader_code lr_Out;
    std::memset(&lr_Out, 0, sizeof(lr_Out));
    char* lr_Messages_ = nullptr;
    const int lr_Status = vkd3d_shader_preprocess(&lr_Info, &lr_Out, &lr_Messages_);
    AppendSize(result, static_cast<uint64_t>(static_cast<int64_t>(lr_Status)));
    AppendSize(result, lr_Status >= 0 ? lr_Out.size : 0);
    if (lr_Status >= 0) result.append(static_cast<const char*>(lr_Out.code), lr_Out.size);
    if (lr_Messages_) result += lr_Messages_;
    // What vkd3d-shader leaks goes with the child.
}

// ---- the parent: opens includes and turns the result into text ----

struct OpenedInclude {
    std::string Written;  // as the #include names it
    std::string Display;  // as messages name it
    std::wstring Path;    // to read, for includes resolved from files
    int Parent = 0;
    unsigned Depth = 1;
    LPCVOID HandlerData = nullptr;
};

class IncludeOpener {
public:
    explicit IncludeOpener(const PreprocessRequest& request) : mr_Request(request), mr_TotalBytes(request.Size) {}
    ~IncludeOpener() {
        // Handler data is given back last opened, first closed.
        for (auto it = mr_Opened.rbegin(); it != mr_Opened.rend(); ++it)
            if (it->HandlerData && mr_Request.Include) mr_Request.Include->Close(it->HandlerData);
    }
    IncludeOpener(const IncludeOpener&) = delete;
    IncludeOpener& operator=(const IncludeOpener&) = delete;

    // "L|S<parent id>\n<name>" -> "1<id>\n<text>" or "0".
    std::string Answer(const std::string& question) {
        const size_t lr_Newline = question.find('\n');
        if (question.empty() || lr_Newline == std::string::npos) return "0";
        const bool lr_Local = question[0] == 'L';
        const int lr_Parent = std::atoi(question.substr(1, lr_Newline - 1).c_str());
        const std::string ls_Name = question.substr(lr_Newline + 1);
        std::string ls_Text, ls_Reason;
        OpenedInclude lr_Include;
        if (!Open(ls_Name, lr_Local, lr_Parent, lr_Include, ls_Text, ls_Reason)) {
            mr_Failures.push_back(ls_Reason);
            return "0";
        }
        mr_Opened.push_back(lr_Include);
        return "1" + std::to_string(mr_Opened.size()) + "\n" + k_BeginInclude + "\n" +
               KeepLineNumbers(ls_Text.data(), ls_Text.size()) + "\n" + k_EndInclude + "\n";
    }

    const std::vector<OpenedInclude>& Opened() const { return mr_Opened; }
    const std::vector<std::string>& Failures() const { return mr_Failures; }

private:
    const OpenedInclude* Find(int id) const {
        return id >= 1 && static_cast<size_t>(id) <= mr_Opened.size() ? &mr_Opened[static_cast<size_t>(id) - 1]
                                                                      : nullptr;
    }

    static size_t DirectoryEnd(const std::string& path) {
        const size_t lr_Slash = path.find_last_of("\\/");
        return lr_Slash == std::string::npos ? 0 : lr_Slash + 1;
    }

    bool Open(const std::string& name, bool local, int parentId, OpenedInclude& include, std::string& text,
              std::string& reason) {
        const OpenedInclude* lr_Parent_ = Find(parentId);
        include.Written = name;
        include.Parent = lr_Parent_ ? parentId : 0;
        include.Depth = lr_Parent_ ? lr_Parent_->Depth + 1 : 1;
        if (include.Depth > k_MaxIncludeDepth) {
            reason = "includes are nested deeper than " + std::to_string(k_MaxIncludeDepth) + " files";
            return false;
        }
        const std::string ls_ParentDisplay = lr_Parent_ ? lr_Parent_->Display : mr_Request.SourceName;
        const bool lr_Absolute =
            !name.empty() && (name[0] == '\\' || name[0] == '/' || (name.size() > 1 && name[1] == ':'));
        include.Display = lr_Absolute ? name : ls_ParentDisplay.substr(0, DirectoryEnd(ls_ParentDisplay)) + name;
        for (const OpenedInclude* a = lr_Parent_; a; a = Find(a->Parent))
            if (a->Display == include.Display) {
                reason = "'" + name + "' is already being included: a file that includes itself never ends";
                return false;
            }
        if (include.Display == mr_Request.SourceName) {
            reason = "'" + name + "' is the file being compiled: a file that includes itself never ends";
            return false;
        }
        const char* lr_Data_ = nullptr;
        size_t lr_Bytes = 0;
        std::vector<BYTE> lr_File;
        if (mr_Request.Include) {
            LPCVOID lr_Got = nullptr;
            UINT lr_Size = 0;
            const HRESULT hr =
                mr_Request.Include->Open(local ? D3DXINC_LOCAL : D3DXINC_SYSTEM, name.c_str(),
                                         lr_Parent_ ? lr_Parent_->HandlerData : nullptr, &lr_Got, &lr_Size);
            if (FAILED(hr)) {
                reason = "the include handler could not open it";
                return false;
            }
            include.HandlerData = lr_Got;
            lr_Data_ = static_cast<const char*>(lr_Got);
            lr_Bytes = lr_Got ? lr_Size : 0;
            if (!ReserveBytes(lr_Bytes, reason)) {
                mr_Request.Include->Close(lr_Got);
                include.HandlerData = nullptr;
                return false;
            }
        } else if (mr_Request.SourcePath.empty()) {
            reason = "an effect created from memory without an include handler cannot include files";
            return false;
        } else {
            const std::wstring ls_Name = softd3dx::WidePathFromAnsi(name.c_str());
            const std::wstring& ls_ParentPath = lr_Parent_ ? lr_Parent_->Path : mr_Request.SourcePath;
            const size_t lr_Slash = ls_ParentPath.find_last_of(L"\\/");
            include.Path = lr_Absolute ? ls_Name
                                       : (lr_Slash == std::wstring::npos ? std::wstring()
                                                                         : ls_ParentPath.substr(0, lr_Slash + 1)) +
                                             ls_Name;
            const DWORD lr_Attributes = GetFileAttributesW(include.Path.c_str());
            if (lr_Attributes == INVALID_FILE_ATTRIBUTES) {
                reason = "no such file";
                return false;
            }
            long long lr_Size = 0;
            if ((lr_Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) ||
                !softd3dx::RegularFileSize(include.Path.c_str(), &lr_Size)) {
                reason = "not a regular file";
                return false;
            }
            if (!ReserveBytes(static_cast<size_t>(lr_Size), reason)) return false;
            if (!softd3dx::ReadWholeFile(include.Path.c_str(), &lr_File,
                                         static_cast<long long>(k_MaxPreprocessedBytes))) {
                reason = "it could not be read";
                return false;
            }
            lr_Data_ = reinterpret_cast<const char*>(lr_File.data());
            lr_Bytes = lr_File.size();
        }
        text.assign(lr_Data_ ? lr_Data_ : "", lr_Bytes);
        return true;
    }

    bool ReserveBytes(size_t bytes, std::string& reason) {
        if (bytes > k_MaxPreprocessedBytes - std::min(mr_TotalBytes, k_MaxPreprocessedBytes)) {
            reason = "the effect's text with its includes would pass " + std::to_string(k_MaxPreprocessedBytes >> 20) +
                     " MB";
            return false;
        }
        mr_TotalBytes += bytes;
        return true;
    }

    const PreprocessRequest& mr_Request;
    size_t mr_TotalBytes;
    std::vector<OpenedInclude> mr_Opened;
    std::vector<std::string> mr_Failures;
};

std::string QuotedPath(const std::string& path) {
    std::string ls_Out = "\"";
    for (char c : path) {
        if (c == '\\' || c == '"') ls_Out += '\\';
        ls_Out += c;
    }
    return ls_Out + "\"";
}

bool IsLine(const std::string& line, const char* text) {
    size_t lr_End = line.size();
    while (lr_End > 0 && (line[lr_End - 1] == ' ' || line[lr_End - 1] == '\r' || line[lr_End - 1] == '\t')) --lr_End;
    return line.compare(0, lr_End, text) == 0 && std::strlen(text) == lr_End;
}

// A line marker "# 40" or "# 40 \"file\"": the next line is line 40 (of that file).
bool IsMarker(const std::string& line, int& next, std::string& name) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] != '#') return false;
    ++i;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t lr_Digits = i;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && i - lr_Digits < 9) ++i;
    if (i == lr_Digits) return false;
    next = std::atoi(line.substr(lr_Digits, i - lr_Digits).c_str());
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i < line.size() && line[i] == '"') {
        std::string ls_Name;
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) ++i;
            ls_Name += line[i];
        }
        name = ls_Name;
    }
    return true;
}

// Replaces the include sentinels by line markers, so that whoever reads the
// text next counts each file's lines from its own first line.
std::string MarkIncludes(const std::string& text, const std::string& top, const std::vector<OpenedInclude>& opened) {
    struct Frame {
        std::string Name;
        int Next;
    };
    std::vector<Frame> lr_Frames{{top, 1}};
    size_t lr_Begun = 0;
    std::string ls_Out;
    ls_Out.reserve(text.size() + 256);
    std::istringstream lr_Lines(text);
    std::string ls_Line;
    while (std::getline(lr_Lines, ls_Line)) {
        if (IsLine(ls_Line, k_BeginInclude) && lr_Begun < opened.size()) {
            lr_Frames.push_back({opened[lr_Begun++].Display, 1});
            ls_Out += "# 1 " + QuotedPath(lr_Frames.back().Name) + "\n";
        } else if (IsLine(ls_Line, k_EndInclude) && lr_Frames.size() > 1) {
            // The preprocessor ends an included file with one more line break
            // of its own: that empty line is numbered one before the next.
            lr_Frames.pop_back();
            ls_Out += "# " + std::to_string(lr_Frames.back().Next - 1) + " " + QuotedPath(lr_Frames.back().Name) + "\n";
        } else if (IsMarker(ls_Line, lr_Frames.back().Next, lr_Frames.back().Name)) {
            ls_Out += ls_Line;
            ls_Out += '\n';
        } else {
            ls_Out += ls_Line;
            ls_Out += '\n';
            ++lr_Frames.back().Next;
        }
    }
    return ls_Out;
}

// The preprocessor names an included file as its #include wrote it; the
// messages name it as it was found, and say why an include failed.
std::string ExplainMessages(const std::string& messages, const IncludeOpener& opener) {
    std::map<std::string, std::string> lr_Names;
    for (const OpenedInclude& i : opener.Opened()) lr_Names[i.Written] = i.Display;
    size_t lr_Failure = 0;
    std::string ls_Out;
    std::istringstream lr_Lines(messages);
    std::string ls_Line;
    while (std::getline(lr_Lines, ls_Line)) {
        const size_t lr_Paren = ls_Line.find('(');
        if (lr_Paren != std::string::npos) {
            auto lr_Name = lr_Names.find(ls_Line.substr(0, lr_Paren));
            if (lr_Name != lr_Names.end()) ls_Line = lr_Name->second + ls_Line.substr(lr_Paren);
        }
        if (ls_Line.find("Failed to open") != std::string::npos && lr_Failure < opener.Failures().size()) {
            if (!ls_Line.empty() && ls_Line.back() == '.') ls_Line.pop_back();
            ls_Line += ": " + opener.Failures()[lr_Failure++];
        }
        ls_Out += ls_Line + "\n";
    }
    return ls_Out;
}

uint64_t ReadSize(const std::string& bytes, size_t at) {
    uint64_t lr_Value = 0;
    std::memcpy(&lr_Value, bytes.data() + at, sizeof(lr_Value));
    return lr_Value;
}

// Tests shorten the budget through the environment rather than wait it out.
double PreprocessSeconds() {
    const char* lr_Value_ = std::getenv("SOFT_D3DX_PREPROCESS_SECONDS");
    const double lr_Seconds = lr_Value_ ? std::atof(lr_Value_) : 0.0;
    return lr_Seconds > 0.0 && lr_Seconds < k_PreprocessSeconds ? lr_Seconds : k_PreprocessSeconds;
}

std::string BudgetError(const std::string& name, const std::string& what) {
    return name + "(1,1): error X1000: preprocessing " + what + "\n";
}

// vkd3d-shader 1.17 reads freed memory when the text ends inside a macro's
// argument list (its warning names the file after the file is gone). Text
// whose code leaves a '(' open is refused before it gets there; it could not
// compile anyway. Returns the 1-based line and column of the first such '('.
bool UnclosedParenthesis(const std::string& text, int& line, int& column) {
    std::vector<std::pair<int, int>> lr_Open;
    int lr_Line = 1, lr_Column = 1;
    bool lr_LineStart = true, lr_Directive = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char lr_Next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == '\n') {
            ++lr_Line;
            lr_Column = 1;
            lr_LineStart = true;
            lr_Directive = false;
            continue;
        }
        ++lr_Column;
        if (c == ' ' || c == '\t' || c == '\r') continue;
        if (lr_LineStart && c == '#') lr_Directive = true;
        lr_LineStart = false;
        if (c == '/' && lr_Next == '/') {
            while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
        } else if (c == '"' || c == '\'') {
            while (i + 1 < text.size() && text[i + 1] != c && text[i + 1] != '\n') {
                if (text[i + 1] == '\\') ++i;
                ++i;
            }
            if (i + 1 < text.size() && text[i + 1] == c) ++i;
        } else if (!lr_Directive && c == '(') {
            lr_Open.emplace_back(lr_Line, lr_Column - 1);
        } else if (!lr_Directive && c == ')' && !lr_Open.empty()) {
            lr_Open.pop_back();
        }
    }
    if (lr_Open.empty()) return false;
    line = lr_Open.front().first;
    column = lr_Open.front().second;
    return true;
}

}  // namespace

HRESULT ReadEffectFile(const std::wstring& path, const std::string& name, const D3DXMACRO* defines,
                       ID3DXInclude* include, std::vector<BYTE>& data, PreprocessRequest& request) {
    // Effect files far beyond any real one are refused before they are read.
    constexpr long long k_MaxEffectFileBytes = 64LL << 20;
    try {
        if (!softd3dx::ReadWholeFile(path.c_str(), &data, k_MaxEffectFileBytes)) return D3DXERR_INVALIDDATA;
        request.SourceName = name;
        if (!include) request.SourcePath = path;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    request.Text = reinterpret_cast<const char*>(data.data());
    request.Size = data.size();
    request.Defines = defines;
    request.Include = include;
    return D3D_OK;
}

bool NeedsPreprocessing(const PreprocessRequest& request) {
    return (request.Defines && request.Defines->Name) || std::memchr(request.Text, '#', request.Size) != nullptr;
}

bool PreprocessEffect(const PreprocessRequest& request, std::string& expanded, std::string& errors) {
    expanded.clear();
    errors.clear();
    if (request.Size > k_MaxPreprocessedBytes) {
        errors = request.SourceName + "(1,1): error X1000: source text of " + std::to_string(request.Size) +
                 " bytes is larger than " + std::to_string(k_MaxPreprocessedBytes >> 20) + " MB\n";
        return false;
    }
    IncludeOpener lr_Opener(request);
    PreprocessRequest lr_Request = request;
    const std::string ls_Text = KeepLineNumbers(request.Text, request.Size);
    int lr_Line = 0, lr_Column = 0;
    if (UnclosedParenthesis(ls_Text, lr_Line, lr_Column)) {
        errors = request.SourceName + "(" + std::to_string(lr_Line) + "," + std::to_string(lr_Column) +
                 "): error X3000: syntax error: '(' is never closed\n";
        return false;
    }
    lr_Request.Text = ls_Text.data();
    lr_Request.Size = ls_Text.size();
    std::string ls_Result;
    ChildBudget lr_Budget;
    lr_Budget.WallSeconds = PreprocessSeconds();
    lr_Budget.MemoryBytes = k_PreprocessMemory;
    const ChildOutcome lr_Outcome =
        RunInChild([&](IChildChannel& channel, std::string& result) { RunPreprocessor(lr_Request, channel, result); },
                   [&](const std::string& question) { return lr_Opener.Answer(question); }, lr_Budget, ls_Result);
    switch (lr_Outcome) {
    case ChildOutcome::OverTime:
        errors = BudgetError(request.SourceName, "took longer than its budget of " +
                                                     std::to_string(static_cast<int>(lr_Budget.WallSeconds + 0.5)) +
                                                     " s (a macro that expands without end?)");
        return false;
    case ChildOutcome::OverMemory:
        errors = BudgetError(request.SourceName, "needed more than its budget of " +
                                                     std::to_string(k_PreprocessMemory >> 20) +
                                                     " MB (a macro that expands without end?)");
        return false;
    case ChildOutcome::Failed:
        errors = BudgetError(request.SourceName, "failed: the preprocessor ended without a result");
        return false;
    case ChildOutcome::Finished: break;
    }
    if (ls_Result.size() < 16 || ReadSize(ls_Result, 8) > ls_Result.size() - 16) {
        errors = BudgetError(request.SourceName, "failed: the preprocessor's result was cut short");
        return false;
    }
    const int64_t lr_Status = static_cast<int64_t>(ReadSize(ls_Result, 0));
    const size_t lr_Size = static_cast<size_t>(ReadSize(ls_Result, 8));
    const std::string ls_Messages = D3DXMessages(ls_Result.c_str() + 16 + lr_Size);
    if (lr_Status < 0) {
        errors = ExplainMessages(ls_Messages, lr_Opener);
        if (errors.empty()) errors = BudgetError(request.SourceName, "failed (" + std::to_string(lr_Status) + ")");
        return false;
    }
    if (lr_Size > k_MaxPreprocessedBytes) {
        errors = request.SourceName + "(1,1): error X1000: the preprocessed text of " + std::to_string(lr_Size) +
                 " bytes is larger than " + std::to_string(k_MaxPreprocessedBytes >> 20) + " MB\n";
        return false;
    }
    expanded = MarkIncludes(ls_Result.substr(16, lr_Size), request.SourceName, lr_Opener.Opened());
    return true;
}

}  // namespace softfx
