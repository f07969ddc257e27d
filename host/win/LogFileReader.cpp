#include "LogFileReader.h"

#include <cstdio>

const std::vector<std::string>& LogFileReader::Reload() {
    mr_Lines.clear();
    FILE* lr_File_ = _wfopen(mr_Path.c_str(), L"rb");
    if (!lr_File_) return mr_Lines;
    std::string ls_Text;
    char lr_Buffer[4096];
    size_t lr_Read = 0;
    while ((lr_Read = std::fread(lr_Buffer, 1, sizeof lr_Buffer, lr_File_)) > 0) ls_Text.append(lr_Buffer, lr_Read);
    std::fclose(lr_File_);

    size_t lr_Start = 0;
    while (lr_Start < ls_Text.size()) {
        size_t lr_End = ls_Text.find('\n', lr_Start);
        if (lr_End == std::string::npos) lr_End = ls_Text.size();
        std::string ls_Line = ls_Text.substr(lr_Start, lr_End - lr_Start);
        if (!ls_Line.empty() && ls_Line.back() == '\r') ls_Line.pop_back();
        mr_Lines.push_back(ls_Line);
        lr_Start = lr_End + 1;
    }
    return mr_Lines;
}

size_t LogFileReader::Find(const std::string& line, size_t from) const {
    for (size_t i = from; i < mr_Lines.size(); ++i)
        if (mr_Lines[i] == line) return i;
    return npos;
}

bool LogFileReader::ContainsInOrder(const std::vector<std::string>& expected, size_t from, std::string& missing) const {
    size_t lr_At = from;
    for (const std::string& ls_Line : expected) {
        size_t lr_Found = Find(ls_Line, lr_At);
        if (lr_Found == npos) {
            missing = ls_Line;
            return false;
        }
        lr_At = lr_Found + 1;
    }
    return true;
}

bool LogFileReader::ContainsRun(const std::vector<std::string>& expected, size_t from) const {
    if (expected.empty()) return true;
    for (size_t lr_Start = from; lr_Start + expected.size() <= mr_Lines.size(); ++lr_Start) {
        size_t i = 0;
        while (i < expected.size() && mr_Lines[lr_Start + i] == expected[i]) ++i;
        if (i == expected.size()) return true;
    }
    return false;
}

std::vector<std::string> LogFileReader::LinesStartingWith(const std::string& prefix, size_t from) const {
    std::vector<std::string> lr_Found;
    for (size_t i = from; i < mr_Lines.size(); ++i)
        if (mr_Lines[i].compare(0, prefix.size(), prefix) == 0) lr_Found.push_back(mr_Lines[i]);
    return lr_Found;
}
