// Text in the thread's ANSI code page: what the platform's narrow file API
// and the log file expect. Each call converts the whole text at once, so a
// character the page cannot hold becomes '?' and the rest survives.
#pragma once

#include <string>

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);
