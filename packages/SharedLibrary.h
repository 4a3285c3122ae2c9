// A library loaded when it is first needed: librpm and libalpm are large,
// and only the systems that have an rpm or pacman database need them, so
// the programs do not link them (the Debian package recommends them).
#pragma once

#include <string>

namespace quorvane {

class TSharedLibrary {
public:
    // Loads Name (a soname such as "librpm.so.9"); Loaded() tells whether it was found.
    explicit TSharedLibrary(const std::string& Name);
    ~TSharedLibrary();
    TSharedLibrary(const TSharedLibrary&) = delete;
    TSharedLibrary& operator=(const TSharedLibrary&) = delete;

    bool Loaded() const { return FHandle != nullptr; }

    // Sets Function to the library's symbol Name (also one of the libraries
    // it depends on); false, and Loaded() false from then on, when it has none.
    template <typename T>
    bool Bind(T& Function, const char* Name) {
        void* Address = Symbol(Name);
        Function = reinterpret_cast<T>(Address);
        return Address != nullptr;
    }

private:
    void* Symbol(const char* Name);

    void* FHandle = nullptr;
};

}  // namespace quorvane
