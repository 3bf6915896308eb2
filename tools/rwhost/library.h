// A shared object loaded at run time; the only place where rwhost talks to the dynamic loader.
#pragma once

#include <string>

class CLibrary {
public:
    CLibrary() = default;
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;
    ~CLibrary();

    /// Loads the file; false with the loader's message in error.
    bool open(const std::string& path, std::string& error);
    void close();
    /// Address of an exported symbol, or null.
    void* symbol(const char* name) const;
    bool isOpen() const { return handle != nullptr; }

private:
    void* handle = nullptr;
};
