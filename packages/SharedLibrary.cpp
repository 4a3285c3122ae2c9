#include "packages/SharedLibrary.h"

#include <dlfcn.h>

namespace quorvane {

// RTLD_LOCAL: the library's symbols serve only the calls bound here.
TSharedLibrary::TSharedLibrary(const std::string& Name) : FHandle(dlopen(Name.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

// The library stays loaded: it may have registered handlers (atexit) of its own.
TSharedLibrary::~TSharedLibrary() = default;

void* TSharedLibrary::Symbol(const char* Name) {
    if (!FHandle)
        return nullptr;
    void* Address = dlsym(FHandle, Name);
    if (!Address)
        FHandle = nullptr;
    return Address;
}

}  // namespace quorvane
