#include "CheckList.h"

#include <cstdio>

bool CheckList::Expect(bool condition, const std::string& what) {
    ++mr_Checks;
    if (!condition) {
        ++mr_Failures;
        std::printf("FAIL: %s\n", what.c_str());
        std::fflush(stdout);
    }
    return condition;
}

void CheckList::Fail(const std::string& what) { Expect(false, what); }

void CheckList::Step(const std::string& what) {
    std::printf("-- %s\n", what.c_str());
    std::fflush(stdout);
}

void CheckList::Note(const std::string& what) {
    std::printf("   %s\n", what.c_str());
    std::fflush(stdout);
}

std::string HexResult(long hr) {
    char lr_Text[16];
    std::snprintf(lr_Text, sizeof lr_Text, "0x%08lX", static_cast<unsigned long>(hr) & 0xFFFFFFFFul);
    return lr_Text;
}
