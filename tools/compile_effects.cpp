// Compiles effect files to compiled effects (fx_2_0 binaries) with the
// substitute D3DX, each under its own file name in the output folder, as a
// real D3DX reads a compiled effect whatever the file is called.
//
//   compile_effects [--report <file>] <output folder> <effect file>...
//
// With --report, what cannot be compiled is written to that file (empty
// when all went well) and the exit code is 0, so that a build step goes on
// and a test says what was refused.
#include <d3dx9.h>

#include <cstdio>
#include <string>

namespace {

std::FILE* g_Report_ = stderr;

bool CompileOne(const std::string& source, const std::string& target) {
    ID3DXEffectCompiler* lr_Compiler_ = nullptr;
    ID3DXBuffer* lr_Errors_ = nullptr;
    HRESULT hr = D3DXCreateEffectCompilerFromFileA(source.c_str(), nullptr, nullptr, 0, &lr_Compiler_, &lr_Errors_);
    if (FAILED(hr)) {
        std::fprintf(g_Report_, "%s: not compiled: %s", source.c_str(),
                     lr_Errors_ ? static_cast<const char*>(lr_Errors_->GetBufferPointer()) : "cannot be read\n");
        if (lr_Errors_) lr_Errors_->Release();
        return false;
    }
    ID3DXBuffer* lr_Binary_ = nullptr;
    hr = lr_Compiler_->CompileEffect(0, &lr_Binary_, &lr_Errors_);
    lr_Compiler_->Release();
    if (FAILED(hr)) {
        std::fprintf(g_Report_, "%s: %s", source.c_str(),
                     lr_Errors_ ? static_cast<const char*>(lr_Errors_->GetBufferPointer()) : "CompileEffect failed\n");
        if (lr_Errors_) lr_Errors_->Release();
        return false;
    }
    std::FILE* lr_File_ = std::fopen(target.c_str(), "wb");
    const bool lr_Written = lr_File_ && std::fwrite(lr_Binary_->GetBufferPointer(), 1, lr_Binary_->GetBufferSize(),
                                                    lr_File_) == lr_Binary_->GetBufferSize();
    if (lr_File_ && std::fclose(lr_File_) != 0) return false;
    std::printf("%s -> %s (%lu bytes)\n", source.c_str(), target.c_str(),
                static_cast<unsigned long>(lr_Binary_->GetBufferSize()));
    lr_Binary_->Release();
    if (!lr_Written) std::fprintf(g_Report_, "%s: cannot be written\n", target.c_str());
    return lr_Written;
}

}  // namespace

int main(int argc, char** argv) {
    int lr_First = 1;
    const bool lr_Reporting = argc > 2 && std::string(argv[1]) == "--report";
    if (lr_Reporting) {
        g_Report_ = std::fopen(argv[2], "w");
        if (!g_Report_) return 1;
        lr_First = 3;
    }
    if (argc < lr_First + 2) {
        std::fprintf(stderr, "usage: compile_effects [--report <file>] <output folder> <effect file>...\n");
        return 2;
    }
    const std::string ls_Folder = argv[lr_First];
    int lr_Failed = 0;
    for (int i = lr_First + 1; i < argc; ++i) {
        const std::string ls_Source = argv[i];
        const size_t lr_Slash = ls_Source.find_last_of('/');
        const std::string ls_Name = lr_Slash == std::string::npos ? ls_Source : ls_Source.substr(lr_Slash + 1);
        if (!CompileOne(ls_Source, ls_Folder + "/" + ls_Name)) ++lr_Failed;
    }
    if (lr_Reporting) return std::fclose(g_Report_) == 0 ? 0 : 1;
    return lr_Failed ? 1 : 0;
}
