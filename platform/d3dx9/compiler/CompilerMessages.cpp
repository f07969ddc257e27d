// Compiler messages in D3DX's form, shared by the substitute D3DX and its
// HLSL compiler process.
#include "compiler/CompilerMessages.h"

#include <sstream>

namespace softfx {

namespace {

// Digits only, at least one.
bool IsNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string D3DXMessages(const char* messages) {
    std::string ls_Out;
    std::istringstream lr_Lines(messages ? messages : "");
    std::string ls_Line;
    while (std::getline(lr_Lines, ls_Line)) {
        if (ls_Line.empty()) continue;
        // The code is the first ": E<digits>:" or ": W<digits>:" after a "name:line:col" prefix.
        size_t lr_At = 0;
        bool lr_Done = false;
        while (!lr_Done && (lr_At = ls_Line.find(": ", lr_At)) != std::string::npos) {
            const size_t lr_CodeEnd = ls_Line.find(':', lr_At + 2);
            const char lr_Kind = lr_At + 2 < ls_Line.size() ? ls_Line[lr_At + 2] : '\0';
            const size_t lr_Col = ls_Line.rfind(':', lr_At == 0 ? 0 : lr_At - 1);
            const size_t lr_Row =
                lr_Col == std::string::npos || lr_Col == 0 ? std::string::npos : ls_Line.rfind(':', lr_Col - 1);
            if ((lr_Kind == 'E' || lr_Kind == 'W') && lr_CodeEnd != std::string::npos && lr_Row != std::string::npos &&
                IsNumber(ls_Line.substr(lr_At + 3, lr_CodeEnd - lr_At - 3)) &&
                IsNumber(ls_Line.substr(lr_Row + 1, lr_Col - lr_Row - 1)) &&
                IsNumber(ls_Line.substr(lr_Col + 1, lr_At - lr_Col - 1))) {
                std::string ls_Text = ls_Line.substr(lr_CodeEnd + 1);
                if (!ls_Text.empty() && ls_Text[0] == ' ') ls_Text.erase(0, 1);
                ls_Line = ls_Line.substr(0, lr_Row) + "(" + ls_Line.substr(lr_Row + 1, lr_Col - lr_Row - 1) + "," +
                          ls_Line.substr(lr_Col + 1, lr_At - lr_Col - 1) +
                          "): " + (lr_Kind == 'E' ? "error" : "warning") + " X" +
                          ls_Line.substr(lr_At + 3, lr_CodeEnd - lr_At - 3) + ": " + ls_Text;
                lr_Done = true;
            }
            lr_At += 2;
        }
        ls_Out += ls_Line + "\n";
    }
    return ls_Out;
}

}  // namespace softfx
