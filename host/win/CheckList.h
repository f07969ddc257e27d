// The host's verdict: every check it makes is counted, every failure printed
// at once with what was expected, so a run under Wine explains itself.
#pragma once

// Shared with the demo host, whose folder the Windows hosts do not include.
#include "../HResultText.h"

#include <string>

class CheckList {
public:
    // Records one check; prints a failure with its text. Returns the condition.
    bool Expect(bool condition, const std::string& what);
    void Fail(const std::string& what);
    // Progress lines, so a hang or crash shows where it happened.
    void Step(const std::string& what);
    void Note(const std::string& what);

    int Failures() const { return mr_Failures; }
    int Checks() const { return mr_Checks; }

private:
    int mr_Checks = 0;
    int mr_Failures = 0;
};
