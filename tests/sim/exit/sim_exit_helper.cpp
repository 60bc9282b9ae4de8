// Loads the simulated adapter as the library does (dlopen by path), unloads it, loads it again and
// leaves its device open for a static object to close after the simulator's own exit handlers have
// run, as a library that closes its devices from its exit handlers does. Prints what that late close
// returned; a sanitizer build also reports any leak or use of freed memory at exit.
#include "d2xx.h"

#include <dlfcn.h>

#include <cstdio>

namespace {

struct LateCloser {
    FT_Close_t pClose = nullptr;
    FT_HANDLE handle = nullptr;
    ~LateCloser()
    {
        if (pClose)
            std::fprintf(stderr, "late close %u\n", static_cast<unsigned>(pClose(handle)));
    }
};

// Built before the simulator is loaded, so destroyed after it.
LateCloser late;

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBFTD2XX-SIM\n", argv[0]);
        return 2;
    }
    for (int round = 0; round < 2; ++round) {
        void *lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            std::fprintf(stderr, "%s\n", dlerror());
            return 2;
        }
        auto pOpen = reinterpret_cast<FT_Open_t>(dlsym(lib, "FT_Open"));
        auto pClose = reinterpret_cast<FT_Close_t>(dlsym(lib, "FT_Close"));
        FT_HANDLE handle = nullptr;
        if (!pOpen || !pClose || pOpen(0, &handle) != FT_OK) {
            std::fprintf(stderr, "device 0 does not open\n");
            return 3;
        }
        if (round == 0) {
            pClose(handle);
            dlclose(lib);
        } else {
            late.pClose = pClose;
            late.handle = handle;
        }
    }
    return 0;
}
