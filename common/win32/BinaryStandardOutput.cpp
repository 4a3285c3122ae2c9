// Linked into the report command: its standard output carries the report,
// which brings its own CR LF line ends. In the C runtime's text mode every LF
// would gain another CR.
#include <fcntl.h>
#include <io.h>
#include <cstdio>

namespace {

const int kBinaryStandardOutput = _setmode(_fileno(stdout), _O_BINARY);

}  // namespace
