// Reads the module's log file as the lines it holds, and finds expected
// lines in it. The file is 8-bit text; a line break may be "\r\n".
#pragma once

#include <string>
#include <vector>

class LogFileReader {
public:
    explicit LogFileReader(const std::wstring& path) : mr_Path(path) {}

    // Reads the whole file again; an absent file reads as no lines.
    const std::vector<std::string>& Reload();
    const std::vector<std::string>& Lines() const { return mr_Lines; }
    size_t Size() const { return mr_Lines.size(); }

    // Index of the first line at or after `from` equal to `line`, or npos.
    size_t Find(const std::string& line, size_t from) const;
    // Whether `expected` occurs in this order (other lines may lie between)
    // from line `from` on. On failure `missing` names the first absent line.
    bool ContainsInOrder(const std::vector<std::string>& expected, size_t from, std::string& missing) const;
    // Whether `expected` occurs as consecutive lines from `from` on.
    bool ContainsRun(const std::vector<std::string>& expected, size_t from) const;
    // Lines from `from` on that begin with `prefix`.
    std::vector<std::string> LinesStartingWith(const std::string& prefix, size_t from) const;

    static constexpr size_t npos = static_cast<size_t>(-1);

private:
    std::wstring mr_Path;
    std::vector<std::string> mr_Lines;
};
