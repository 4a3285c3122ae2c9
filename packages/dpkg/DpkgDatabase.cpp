#include "packages/dpkg/DpkgDatabase.h"

#include "packages/Digest.h"

namespace quorvane::dpkg {

namespace detail {

bool NextLine(std::string_view Text, std::size_t& Pos, std::string_view& Line) {
    if (Pos >= Text.size())
        return false;
    std::size_t End = Text.find('\n', Pos);
    if (End == std::string_view::npos)
        End = Text.size();
    Line = Text.substr(Pos, End - Pos);
    Pos = End + 1;
    if (!Line.empty() && Line.back() == '\r')
        Line.remove_suffix(1);
    return true;
}

bool UsableListedPath(std::string_view Path) {
    const std::size_t Slash = Path.rfind('/');
    return !Path.empty() && Path.front() == '/' && Slash != std::string_view::npos && Slash + 1 < Path.size() &&
           Path.find_first_of(std::string_view("\t\r\0", 3)) == std::string_view::npos;
}

}  // namespace detail

namespace {

std::string_view Trimmed(std::string_view Text) {
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t'))
        Text.remove_suffix(1);
    return Text;
}

// " /etc/file 0123...cdef" with an optional flag ("obsolete",
// "remove-on-upgrade") after it; "newconffile" stands for a checksum not yet
// known and is no checksum.
void AddConffile(std::string_view Line, std::vector<TFileChecksum>& Conffiles) {
    Line = Trimmed(Line);
    std::size_t Blank = Line.rfind(' ');
    while (Blank != std::string_view::npos && !IsMd5Hex(Line.substr(Blank + 1))) {
        Line = Trimmed(Line.substr(0, Blank));
        Blank = Line.rfind(' ');
    }
    if (Blank == std::string_view::npos)
        return;
    const std::string_view Path = Trimmed(Line.substr(0, Blank));
    if (detail::UsableListedPath(Path))
        Conffiles.push_back({std::string(Path), LowercaseHex(Line.substr(Blank + 1))});
}

}  // namespace

bool IsMd5Hex(std::string_view Text) {
    if (Text.size() != 32)
        return false;
    for (char C : Text)
        if (!((C >= '0' && C <= '9') || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F')))
            return false;
    return true;
}

std::vector<TStatusPackage> ParseStatus(std::string_view Text) {
    std::vector<TStatusPackage> Packages;
    TStatusPackage Current;
    bool Any = false;
    bool InConffiles = false;
    auto Finish = [&] {
        if (Any && Current.Installed && !Current.Name.empty())
            Packages.push_back(std::move(Current));
        Current = TStatusPackage{};
        Any = false;
        InConffiles = false;
    };
    std::size_t Pos = 0;
    std::string_view Line;
    while (detail::NextLine(Text, Pos, Line)) {
        if (Line.empty()) {
            Finish();
            continue;
        }
        if (Line.front() == ' ' || Line.front() == '\t') {
            if (InConffiles)
                AddConffile(Line, Current.Conffiles);
            continue;  // of any other field only the first line is used
        }
        InConffiles = false;
        const std::size_t Colon = Line.find(':');
        if (Colon == std::string_view::npos)
            continue;
        const std::string_view Field = Line.substr(0, Colon);
        const std::string_view Value = Trimmed(Line.substr(Colon + 1));
        Any = true;
        if (Field == "Package") {
            Current.Name = Value;
        } else if (Field == "Architecture") {
            Current.Architecture = Value;
        } else if (Field == "Version") {
            Current.Version = Value;
        } else if (Field == "Maintainer") {
            Current.Maintainer = Value;
        } else if (Field == "Description") {
            Current.Description = Value;
        } else if (Field == "Conffiles") {
            InConffiles = true;
        } else if (Field == "Status") {
            // "want flag state": the files are in place from "installed" on,
            // also while triggers are outstanding.
            const std::size_t Space = Value.rfind(' ');
            const std::string_view State = Space == std::string_view::npos ? Value : Value.substr(Space + 1);
            Current.Installed = State == "installed" || State == "triggers-pending" || State == "triggers-awaited";
        }
    }
    Finish();
    return Packages;
}

std::vector<TDiversion> ParseDiversions(std::string_view Text) {
    std::vector<TDiversion> Diversions;
    std::size_t Pos = 0;
    std::string_view From, To, Package;
    while (detail::NextLine(Text, Pos, From) && detail::NextLine(Text, Pos, To) &&
           detail::NextLine(Text, Pos, Package)) {
        if (!detail::UsableListedPath(From) || !detail::UsableListedPath(To) || Package.empty())
            continue;
        Diversions.push_back({std::string(From), std::string(To), Package == ":" ? std::string() : std::string(Package)});
    }
    return Diversions;
}

}  // namespace quorvane::dpkg
