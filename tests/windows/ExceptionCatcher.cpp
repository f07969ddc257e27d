// Loads thrower.dll, calls its throwing method and says whether the
// exception reached this program's handler (exit 0) or not.
#include <windows.h>

#include <cstdio>
#include <stdexcept>

struct IThrower {
    virtual int Lookup(int index) = 0;
};

int main() {
    HMODULE lr_Module = LoadLibraryA("thrower.dll");
    if (!lr_Module) {
        std::printf("catcher: thrower.dll does not load (error %lu)\n", GetLastError());
        return 2;
    }
    auto lr_Create =
        reinterpret_cast<IThrower* (*)()>(reinterpret_cast<void (*)()>(GetProcAddress(lr_Module, "CreateThrower")));
    try {
        lr_Create()->Lookup(7);
    } catch (const std::out_of_range& error) {
        std::printf("catcher: caught std::out_of_range: %s\n", error.what());
        return 0;
    }
    std::printf("catcher: nothing was thrown\n");
    return 1;
}
