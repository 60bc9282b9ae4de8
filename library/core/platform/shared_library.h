/* A shared library loaded at run time, the one thing of the operating system the drivers need. Each
 * platform has its own implementation of these, chosen by the build. */
#ifndef TARNBUS_SHARED_LIBRARY_H
#define TARNBUS_SHARED_LIBRARY_H

#include <memory>
#include <string>

namespace tarnbus {

/* True when the file can be loaded; it is released again at once. */
bool bProbeLibrary(const std::string &strFile);

/* A loaded shared library, released when the last owner lets go. */
class SharedLibrary {
public:
    static std::shared_ptr<SharedLibrary> pLoad(const std::string &strFile);
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary &) = delete;
    SharedLibrary &operator=(const SharedLibrary &) = delete;

    /* The function or object of that name, null when the library has none. */
    void *pSymbol(const char *strName) const;

private:
    explicit SharedLibrary(void *pHandle) : pHandle(pHandle) {}
    void *pHandle;
};

} // namespace tarnbus

#endif
