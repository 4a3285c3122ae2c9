// Writes the program's icon file (the .exe's icon resource) from the drawing
// the window uses: a tool the cross build compiles for the build machine and
// runs. Usage: make-program-icon OUTPUT.ico
#include <cstdio>
#include <exception>

#include "resources/IconFile.h"
#include "ui/rules/Pictures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.ico\n", argv[0]);
        return 2;
    }
    try {
        std::vector<quorvane::TPicture> Pictures;
        for (int Size : {16, 20, 24, 32, 40, 48, 64, 256})
            Pictures.push_back(quorvane::ProgramIconPicture(Size));
        const std::vector<std::uint8_t> Bytes = quorvane::IconFileBytes(Pictures);
        std::FILE* File = std::fopen(argv[1], "wb");
        if (!File) {
            std::perror(argv[1]);
            return 1;
        }
        const bool Written = std::fwrite(Bytes.data(), 1, Bytes.size(), File) == Bytes.size();
        if (std::fclose(File) != 0 || !Written) {
            std::perror(argv[1]);
            return 1;
        }
        return 0;
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "%s\n", Error.what());
        return 1;
    }
}
