// A module whose one virtual call throws std::out_of_range, as GetParameter
// does for an unknown id: built twice by exception-crossing-under-wine.sh.
#include <stdexcept>

struct IThrower {
    virtual int Lookup(int index) = 0;
};

namespace {

struct Thrower final : IThrower {
    int Lookup(int index) override {
        if (index != 0) throw std::out_of_range("no parameter has this index");
        return 0;
    }
};

Thrower g_Thrower;

}  // namespace

extern "C" __declspec(dllexport) IThrower* CreateThrower() { return &g_Thrower; }
