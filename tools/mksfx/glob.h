// Shell patterns, for --exclude and for the wildcards that mksfx.exe
// expands itself (Windows' command interpreter passes "*.txt" on as it
// stands). "*" is any run of characters, "/" included; "?" is one
// character; "[abc]", "[a-z]" one of those, "[!a]" or "[^a]" one other;
// "\" takes the next character as it is (on Linux; on Windows "\" is a
// separator and becomes "/"). Characters are UTF-8 sequences, not bytes.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace mksfx {

// caseless: letters compared as Windows compares names (collisions.h).
bool GlobMatch(const std::string& pattern, const std::string& text, bool caseless = false);

// Whether an entry name is left out by one of the patterns: the name
// itself or one of the folders it lies in matches. A pattern without "/" is
// matched against the last part of each (as tar takes it: "build" leaves
// out every folder build/ with everything in it, "*.o" every .o file); one
// with "/" against the whole name from the archive's top ("docs/*.txt",
// "*/tmp/*"), as zip -x takes it. A folder matches with and without its "/".
bool Excluded(const std::string& name, const std::vector<std::string>& patterns, bool caseless = false);

// An operand with "*" or "?" in its last part, as Windows programs take
// it: the files and folders of that folder (below base when the operand is
// relative) whose names match without case, in sorted order, spelled with
// the operand's own folder part. An operand without wildcards is returned
// as it is; one that matches nothing gives no names.
bool HasWildcards(const std::string& operand);
std::vector<std::string> ExpandWildcards(const std::string& operand, const std::filesystem::path& base);

}  // namespace mksfx
