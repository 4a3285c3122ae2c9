// Parsers of the dpkg database's text files (status, info/PACKAGE.list,
// info/PACKAGE.md5sums, diversions). Every input is untrusted text: malformed
// lines are skipped, nothing is read outside the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvane::dpkg {

// A file whose checksum the package records: the path as the package ships
// it, and the MD5 of its content as 32 lowercase hexadecimal digits.
struct TFileChecksum {
    std::string Path;
    std::string Md5;
};

struct TStatusPackage {
    std::string Name;
    std::string Architecture;
    std::string Version;
    std::string Maintainer;
    std::string Description;  // first line (the synopsis)
    // Files in place: "installed", or unpacked with triggers outstanding.
    bool Installed = false;
    // Configuration files, whose checksums the status file holds rather
    // than the md5sums file.
    std::vector<TFileChecksum> Conffiles;
};

// The installed packages of a status file, in the file's order. Stanzas of
// "Field: value" lines end at an empty line; continuation lines start with a
// blank and are read only for Conffiles.
std::vector<TStatusPackage> ParseStatus(std::string_view Text);

// The usable paths of a list file: absolute, with a last component, without
// TAB or CR (which the index's line format cannot carry). Visit is called in
// the file's order.
template <typename F>
void ParseList(std::string_view Text, F&& Visit);

// The lines of an md5sums file: 32 hexadecimal digits, a blank, an optional
// second blank or '*' (md5sum's text and binary marks), and the path, which is
// relative to the root; Visit gets it with its leading '/'.
template <typename F>
void ParseMd5Sums(std::string_view Text, F&& Visit);

// One diversion of the diversions file: the file a package ships under From
// is installed under To, unless the package is the one that diverts it.
struct TDiversion {
    std::string From;
    std::string To;
    std::string Package;  // empty for a local diversion (dpkg writes ":")
};

// The diversions file: three lines per diversion (from, to, package); an
// incomplete last group or a group without absolute paths is skipped.
std::vector<TDiversion> ParseDiversions(std::string_view Text);

// Whether Text is 32 hexadecimal digits, of either case; the parsers hand
// checksums on in lowercase.
bool IsMd5Hex(std::string_view Text);

namespace detail {
// The next line of Text from Pos, without its line end (LF, or CR LF); false
// at the end of Text. A last line without LF counts.
bool NextLine(std::string_view Text, std::size_t& Pos, std::string_view& Line);
bool UsableListedPath(std::string_view Path);
}  // namespace detail

template <typename F>
void ParseList(std::string_view Text, F&& Visit) {
    std::size_t Pos = 0;
    std::string_view Line;
    while (detail::NextLine(Text, Pos, Line))
        if (detail::UsableListedPath(Line))
            Visit(Line);
}

template <typename F>
void ParseMd5Sums(std::string_view Text, F&& Visit) {
    std::size_t Pos = 0;
    std::string_view Line;
    std::string Path;
    char Md5[32];
    while (detail::NextLine(Text, Pos, Line)) {
        if (Line.size() < 34 || !IsMd5Hex(Line.substr(0, 32)) || Line[32] != ' ')
            continue;
        std::string_view Name = Line.substr(33);
        if (!Name.empty() && (Name.front() == ' ' || Name.front() == '*'))
            Name.remove_prefix(1);
        while (Name.substr(0, 2) == "./")
            Name.remove_prefix(2);
        Path.assign(Name.empty() || Name.front() != '/' ? "/" : "");
        Path.append(Name);
        if (!detail::UsableListedPath(Path))
            continue;
        for (std::size_t I = 0; I < 32; ++I)
            Md5[I] = Line[I] >= 'A' && Line[I] <= 'F' ? static_cast<char>(Line[I] - 'A' + 'a') : Line[I];
        Visit(std::string_view(Path), std::string_view(Md5, 32));
    }
}

}  // namespace quorvane::dpkg
