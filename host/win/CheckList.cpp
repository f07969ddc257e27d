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
