// Crafted PE files with odd version resources, each with the answer Windows
// gives for it. The Linux tests check the PE reader against these answers,
// the Windows tests compare the PE reader with the version API on the same
// files, and the fuzz targets start from them. Header-only, no platform
// headers, like the writer it builds on.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "versioninfo/pe/PeWriter.h"

namespace quorvane::pewriter {

struct TCraftedFile {
    std::string Name;         // a file name for it, unique in the list
    TBytes Bytes;
    int ReaderCode = 0;       // 0: the load succeeds; else the reader's error code
    std::string CompanyName;  // after a load (UTF-8)
    std::string FileDescription;
};

// Offset of the node whose key is Key (UTF-16) inside Block; npos when absent.
inline std::size_t FindNode(const TBytes& Block, const std::string& Key) {
    TBytes Pattern;
    AddUtf16(Pattern, Key);
    Add16(Pattern, 0);
    const auto Found = std::search(Block.begin(), Block.end(), Pattern.begin(), Pattern.end());
    return Found == Block.end() ? std::string::npos : static_cast<std::size_t>(Found - Block.begin()) - 6;
}

inline std::uint16_t Get16(const TBytes& Bytes, std::size_t At) {
    return static_cast<std::uint16_t>(Bytes[At] | (Bytes[At + 1] << 8));
}

// Changes the wLength of the root and of the nodes with keys Ancestors by Delta.
inline void Lengthen(TBytes& Block, std::initializer_list<const char*> Ancestors, int Delta) {
    for (const char* Ancestor : Ancestors) {
        const std::size_t At = FindNode(Block, Ancestor);
        Put16(Block, At, static_cast<std::uint16_t>(Get16(Block, At) + Delta));
    }
    Put16(Block, 0, static_cast<std::uint16_t>(Get16(Block, 0) + Delta));
}

// Inserts Extra (a multiple of 4 bytes) before the node with key Before and
// lengthens its ancestors by as much, so the block stays whole.
inline TBytes InsertBeforeNode(TBytes Block, const std::string& Before, const TBytes& Extra,
                               std::initializer_list<const char*> Ancestors) {
    Lengthen(Block, Ancestors, static_cast<int>(Extra.size()));
    const std::size_t At = FindNode(Block, Before);
    Block.insert(Block.begin() + static_cast<std::ptrdiff_t>(At), Extra.begin(), Extra.end());
    return Block;
}

inline std::vector<TCraftedFile> CraftedVersionFiles(bool Pe32Plus) {
    const std::string Company = "Müller Software GmbH";
    const std::string Description = "Prüfprogramm";
    const auto Pe = [Pe32Plus](std::initializer_list<TResource> Resources) {
        TPeRecipe Recipe;
        Recipe.Pe32Plus = Pe32Plus;
        Recipe.Resources = Resources;
        return BuildPe(Recipe).Bytes;
    };
    const TBytes Sample = SampleVersion().Build();
    const auto With = [&](const std::string& Text) {
        TVersionRecipe Recipe = SampleVersion();
        Recipe.Tables[0].Strings[0].second = Text;
        return Recipe.Build();
    };
    std::vector<TCraftedFile> Files;

    // Only RT_VERSION id 1 is the version data: id 2 or a name is not, and
    // where both exist id 1 is read although the name is listed first.
    Files.push_back({"version-id-2.exe", Pe({{kRtVersion, 2, 0x0407, Sample}}), 101, "", ""});
    Files.push_back({"version-named.exe", Pe({{kRtVersion, 0, 0x0407, Sample, "VERSION"}}), 101, "", ""});
    Files.push_back({"version-named-and-id-1.exe",
                     Pe({{kRtVersion, 0, 0x0407, With("Named"), "VERSION"}, {kRtVersion, 1, 0x0407, With("Id 1")}}), 0,
                     "Id 1", Description});

    // Damaged nodes beside the ones looked for are stepped over by their
    // wLength: one too short for a header, one whose key runs past its end.
    Files.push_back({"node-too-short.exe",
                     Pe({{kRtVersion, 1, 0x0407,
                          InsertBeforeNode(Sample, "CompanyName", {4, 0, 0, 0}, {"StringFileInfo", "040704E4"})}}),
                     0, Company, Description});
    Files.push_back({"node-key-unterminated.exe",
                     Pe({{kRtVersion, 1, 0x0407,
                          InsertBeforeNode(Sample, "CompanyName", {8, 0, 0, 0, 1, 0, 'Z', 0},
                                           {"StringFileInfo", "040704E4"})}}),
                     0, Company, Description});
    Files.push_back({"node-too-short-before-varfileinfo.exe",
                     Pe({{kRtVersion, 1, 0x0407, InsertBeforeNode(Sample, "VarFileInfo", {2, 0, 0, 0}, {})}}), 0,
                     Company, Description});

    // A root wLength beyond the resource: the rest reads as zeros.
    TBytes Longer = Sample;
    Put16(Longer, 0, static_cast<std::uint16_t>(Longer.size() + 8));
    Files.push_back({"root-a-little-longer.exe", Pe({{kRtVersion, 1, 0x0407, Longer}}), 0, Company, Description});
    TBytes Longest = Sample;
    Put16(Longest, 0, 0xFFFF);
    Files.push_back({"root-far-longer.exe", Pe({{kRtVersion, 1, 0x0407, Longest}}), 0, Company, Description});

    // A text whose wValueLength runs past its node reads on into the next
    // node (its header and key up to the key's zero unit); one whose
    // wValueLength exceeds the rest of the root reads as empty.
    {
        TVersionRecipe Recipe = SampleVersion();
        Recipe.Tables[0].Strings[0].second = "Abcd";
        TBytes Block = Recipe.Build();
        // "Abcd" without its terminator and padding: the next node's header
        // follows the text directly.
        const std::size_t Node = FindNode(Block, "CompanyName");
        const std::size_t Zero = Node + Get16(Block, Node) - 2;
        const std::size_t Next = FindNode(Block, "FileDescription");
        Lengthen(Block, {"StringFileInfo", "040704E4"}, -static_cast<int>(Next - Zero));
        Block.erase(Block.begin() + static_cast<std::ptrdiff_t>(Zero), Block.begin() + static_cast<std::ptrdiff_t>(Next));
        Put16(Block, Node, static_cast<std::uint16_t>(Zero - Node));
        Put16(Block, Node + 2, static_cast<std::uint16_t>(4 + 3 + 16));  // text, header, key and its zero
        const std::string Read = std::string("Abcd") + static_cast<char>(Get16(Block, Zero)) +
                                 static_cast<char>(Get16(Block, Zero + 2)) + '\x01' + "FileDescription";
        Files.push_back({"string-past-its-node.exe", Pe({{kRtVersion, 1, 0x0407, Block}}), 0, Read, Description});
    }
    {
        TBytes Block = Sample;
        Put16(Block, FindNode(Block, "CompanyName") + 2, 0x7FFF);
        Files.push_back({"string-longer-than-the-root.exe", Pe({{kRtVersion, 1, 0x0407, Block}}), 0, "", Description});
    }
    return Files;
}

// An icon group of 65535 entries naming as many RT_ICON images of 4 bytes:
// about 3 MB, the largest group the format allows.
inline TBytes LargestIconGroupFile() {
    TPeRecipe Recipe;
    std::vector<TBytes> Images(0xFFFF, TBytes{1, 2, 3, 4});
    Recipe.Icons(Images);
    return BuildPe(Recipe).Bytes;
}

}  // namespace quorvane::pewriter
