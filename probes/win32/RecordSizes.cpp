// The records handed to the platform carry their own size (sizeof). The sizes
// of a 32-bit build are the ones the platform has documented since NT 4.0; the
// build compiles this file for 32-bit Windows too, so that a change of the
// records' layout cannot pass unnoticed.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#ifdef _WIN64
static_assert(sizeof(PROCESSENTRY32) == 304);
static_assert(sizeof(MODULEENTRY32) == 568);
static_assert(sizeof(SHFILEINFOA) == 360);
#else
static_assert(sizeof(PROCESSENTRY32) == 296);
static_assert(sizeof(MODULEENTRY32) == 548);
static_assert(sizeof(SHFILEINFOA) == 352);
#endif
static_assert(sizeof(TOKEN_PRIVILEGES) == 16);
static_assert(sizeof(OSVERSIONINFOA) == 148);
