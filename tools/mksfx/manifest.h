// The stub's application manifest (Dialog/sfx.manifest, resource type
// RT_MANIFEST), read and rewritten in place in a copy of the stub: the
// execution level that Windows' User Account Control reads before the
// program starts (requestedExecutionLevel: asInvoker, highestAvailable or
// requireAdministrator). The resource is found through the program's own
// headers (the PE resource directory: type 24, its first name, its first
// language), and the level is rewritten within its bytes: the stub's
// manifest follows its "asInvoker" with blanks inside the element, room for
// the longest level, so the resource and the stub keep their sizes.
#pragma once
#include <string>

namespace mksfx {

inline constexpr const char* LevelAsInvoker = "asInvoker";
inline constexpr const char* LevelHighestAvailable = "highestAvailable";
inline constexpr const char* LevelRequireAdministrator = "requireAdministrator";

// Where a program's manifest lies in its bytes; present is false when the
// program has no manifest resource (or its headers do not hold together).
struct ManifestPlace {
  bool present = false;
  size_t at = 0, size = 0;  // file offset and size of the resource's data
};
ManifestPlace FindManifest(const std::string& program);

// The manifest's requestedExecutionLevel ("asInvoker", ...); "" when the
// program has no manifest or its manifest names no level.
std::string ReadExecutionLevel(const std::string& program);

// Rewrites the level (one of the three above) in place; the program keeps
// its size and every byte outside the level's room. Throws Failure when the
// program has no manifest, its manifest no level, or the level's room is too
// small; the bytes are then unchanged.
void SetExecutionLevel(std::string& program, const std::string& level);

}  // namespace mksfx
