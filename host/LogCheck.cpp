#include "LogCheck.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

bool CheckLog(const std::string& logPath, size_t logStart, int resets, std::string& text) {
    std::ifstream lr_In(logPath, std::ios::binary);
    std::string ls_All((std::istreambuf_iterator<char>(lr_In)), std::istreambuf_iterator<char>());
    if (ls_All.size() < logStart) logStart = 0;  // someone truncated it meanwhile
    std::vector<std::string> lr_Lines;
    std::istringstream lr_Stream(ls_All.substr(logStart));
    std::string ls_Line;
    while (std::getline(lr_Stream, ls_Line)) {
        // The module ends its lines as a Windows text file does.
        if (!ls_Line.empty() && ls_Line.back() == '\r') ls_Line.pop_back();
        lr_Lines.push_back(ls_Line);
    }
    auto Count = [&lr_Lines](const std::string& entry, bool prefix) {
        size_t lr_N = 0;
        for (const std::string& ls_Entry : lr_Lines) {
            if (prefix ? ls_Entry.rfind(entry, 0) == 0
                       : (ls_Entry.size() >= entry.size() &&
                          ls_Entry.compare(ls_Entry.size() - entry.size(), entry.size(), entry) == 0))
                ++lr_N;
        }
        return lr_N;
    };
    // Each activation (switch on and every reset) loads five effects.
    const size_t lr_Activations = 1 + static_cast<size_t>(resets);
    const struct {
        const char* Text;
        bool Prefix;
        size_t AtLeast;
    } lr_Expected[] = {
        {"SSAO: Initialising...", true, 1},
        {"SSAO: Initialising finished.", true, 1},
        {"SSAO: Activating finished.", true, lr_Activations},
        {" shader loaded.", false, 5 * lr_Activations},
        {"SSAO: CreateTexture: ", true, 3 * lr_Activations},
        {"SSAO: Deactivating finished.", true, lr_Activations},
        {"SSAO: Deinitialising finished.", true, 1},
    };
    bool lr_Ok = true;
    std::ostringstream ls_Missing;
    for (const auto& lr_Entry : lr_Expected) {
        const size_t lr_Found = Count(lr_Entry.Text, lr_Entry.Prefix);
        if (lr_Found < lr_Entry.AtLeast) {
            ls_Missing << (lr_Ok ? "" : "; ") << "\"" << lr_Entry.Text << "\" " << lr_Found << "x, expected "
                       << lr_Entry.AtLeast;
            lr_Ok = false;
        }
    }
    const size_t lr_Errors = Count("Critical error!", false) + Count(" shader not loaded:", false) +
                             Count("SSAO: Unable to create texture.", true);
    std::ostringstream ls_Text;
    ls_Text << lr_Lines.size() << " lines written to " << logPath;
    if (lr_Errors) ls_Text << ", " << lr_Errors << " error line(s)";
    if (!lr_Ok) ls_Text << " -- MISSING: " << ls_Missing.str();
    text = ls_Text.str();
    return lr_Ok;
}
