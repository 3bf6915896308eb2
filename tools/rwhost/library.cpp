#include "library.h"

#include <dlfcn.h>

CLibrary::~CLibrary() {
    close();
}

bool CLibrary::open(const std::string& path, std::string& error) {
    close();
    // a bare file name would be searched on the library path; a plug-in is always a file
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* message = dlerror();
        error = message ? message : "cannot load " + path;
        return false;
    }
    return true;
}

void CLibrary::close() {
    if (handle) dlclose(handle);
    handle = nullptr;
}

void* CLibrary::symbol(const char* name) const {
    return handle ? dlsym(handle, name) : nullptr;
}
