// A minimal ELF file for tests: header, one PT_NOTE program header or a
// section table with one SHT_NOTE section, and the notes at kNoteOffset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::testing {

using TBytes = std::vector<std::uint8_t>;

struct TElfRecipe {
    bool Is64 = true;
    bool BigEndian = false;
    bool InSegment = true;  // else in a section (no program headers)
    unsigned Align = 4;
};

constexpr std::size_t kNoteOffset = 0x100;

inline void PutWord(TBytes& F, std::size_t At, std::uint64_t Value, unsigned Width, bool BigEndian) {
    if (F.size() < At + Width)
        F.resize(At + Width);
    for (unsigned I = 0; I < Width; ++I) {
        const unsigned Shift = 8 * (BigEndian ? Width - 1 - I : I);
        F[At + I] = static_cast<std::uint8_t>(Value >> Shift);
    }
}

inline void AddNote(TBytes& Notes, const TElfRecipe& Recipe, const std::string& Owner, std::uint32_t Type,
                    const TBytes& Desc, bool Terminate = false) {
    const std::size_t At = Notes.size();
    const std::size_t DescSize = Desc.size() + (Terminate ? 1 : 0);
    PutWord(Notes, At, Owner.size() + 1, 4, Recipe.BigEndian);
    PutWord(Notes, At + 4, DescSize, 4, Recipe.BigEndian);
    PutWord(Notes, At + 8, Type, 4, Recipe.BigEndian);
    Notes.insert(Notes.end(), Owner.begin(), Owner.end());
    Notes.push_back(0);
    while (Notes.size() % Recipe.Align)
        Notes.push_back(0);
    Notes.insert(Notes.end(), Desc.begin(), Desc.end());
    if (Terminate)
        Notes.push_back(0);
    while (Notes.size() % Recipe.Align)
        Notes.push_back(0);
}

inline TBytes BuildElf(const TElfRecipe& Recipe, const TBytes& Notes) {
    const bool B = Recipe.BigEndian;
    const unsigned W = Recipe.Is64 ? 8 : 4;
    TBytes F(kNoteOffset, 0);
    F[0] = 0x7F, F[1] = 'E', F[2] = 'L', F[3] = 'F';
    F[4] = Recipe.Is64 ? 2 : 1;
    F[5] = B ? 2 : 1;
    F[6] = 1;
    PutWord(F, 16, 2, 2, B);                         // executable
    PutWord(F, 18, Recipe.Is64 ? 62 : 3, 2, B);        // x86-64 / i386
    PutWord(F, 20, 1, 4, B);
    const std::size_t PhOff = Recipe.Is64 ? 32 : 28, ShOff = Recipe.Is64 ? 40 : 32;
    const std::size_t Sizes = Recipe.Is64 ? 52 : 40;  // e_ehsize and what follows
    PutWord(F, Sizes, Recipe.Is64 ? 64 : 52, 2, B);
    const std::size_t Ph = Recipe.Is64 ? 64 : 52;
    const std::size_t NoteEnd = kNoteOffset + Notes.size();
    if (Recipe.InSegment) {
        PutWord(F, PhOff, Ph, W, B);
        PutWord(F, Sizes + 2, Recipe.Is64 ? 56 : 32, 2, B);  // e_phentsize
        PutWord(F, Sizes + 4, 1, 2, B);                    // e_phnum
        PutWord(F, Ph, 4, 4, B);                           // PT_NOTE
        PutWord(F, Ph + (Recipe.Is64 ? 8 : 4), kNoteOffset, W, B);
        PutWord(F, Ph + (Recipe.Is64 ? 32 : 16), Notes.size(), W, B);
        PutWord(F, Ph + (Recipe.Is64 ? 48 : 28), Recipe.Align, W, B);
    }
    F.insert(F.end(), Notes.begin(), Notes.end());
    if (!Recipe.InSegment) {
        const std::size_t Sh = (NoteEnd + 7) & ~std::size_t{7};
        const std::size_t Entry = Recipe.Is64 ? 64 : 40;
        F.resize(Sh + 2 * Entry, 0);
        PutWord(F, ShOff, Sh, W, B);
        PutWord(F, Sizes + 6, Entry, 2, B);  // e_shentsize
        PutWord(F, Sizes + 8, 2, 2, B);      // e_shnum
        const std::size_t Note = Sh + Entry;
        PutWord(F, Note + 4, 7, 4, B);  // SHT_NOTE
        PutWord(F, Note + (Recipe.Is64 ? 24 : 16), kNoteOffset, W, B);
        PutWord(F, Note + (Recipe.Is64 ? 32 : 20), Notes.size(), W, B);
        PutWord(F, Note + (Recipe.Is64 ? 48 : 32), Recipe.Align, W, B);
    }
    return F;
}

}  // namespace quorvane::testing
