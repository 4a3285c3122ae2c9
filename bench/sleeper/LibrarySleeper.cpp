// A sleeping process that maps the libraries of a usual C++ service: the C
// and C++ runtimes, ICU and nettle. The benchmarks of the loaded libraries
// start many of it.
#include <nettle/md5.h>
#include <unicode/ucol.h>
#include <unicode/utypes.h>
#include <unistd.h>

#include <string>

int main() {
    // One call into each library, so that the linker keeps them all.
    md5_ctx Context;
    nettle_md5_init(&Context);
    ucol_close(nullptr);
    const std::string Name = u_errorName(U_ZERO_ERROR);
    if (Name.empty())
        return 1;
    for (;;)
        ::pause();
}
