// Shared libraries through the dynamic loader.
#include "shared_library.h"

#include <dlfcn.h>

namespace tarnbus {

bool bProbeLibrary(const std::string &strFile)
{
    return SharedLibrary::pLoad(strFile) != nullptr;
}

std::shared_ptr<SharedLibrary> SharedLibrary::pLoad(const std::string &strFile)
{
    void *pHandle = dlopen(strFile.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!pHandle)
        return nullptr;
    return std::shared_ptr<SharedLibrary>(new SharedLibrary(pHandle));
}

SharedLibrary::~SharedLibrary()
{
    dlclose(pHandle);
}

void *SharedLibrary::pSymbol(const char *strName) const
{
    return dlsym(pHandle, strName);
}

} // namespace tarnbus
