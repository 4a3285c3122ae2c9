/* What bench_window_signatures starts many copies of: a small program that
 * waits until it is ended. */
#include <windows.h>

int main(void) {
    Sleep(INFINITE);
    return 0;
}
