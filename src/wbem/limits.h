// Bounds on what the service accepts from files, queries and peers, in one
// place. Each is far above what real schemas and queries need (the DMTF
// schema loads with room to spare), and each is reported as a clean WMI-style
// error with its position, so that hostile input costs bounded time and
// memory instead of exhausting them.
#pragma once

#include <cstddef>

namespace wbem::limits {

// MOF compiles.
inline constexpr size_t mofFileBytes = size_t(64) << 20;    // one file
inline constexpr size_t mofTotalBytes = size_t(256) << 20;  // all files of one compile
inline constexpr size_t mofIncludes = 20000;                // #pragma include followed, per compile
inline constexpr size_t mofIncludeDepth = 64;               // includes within includes

// Classes and their members.
inline constexpr size_t classDepth = 256;         // superclasses above a class
inline constexpr size_t membersPerClass = 65536;  // own properties and methods
inline constexpr size_t parametersPerMethod = 4096;
inline constexpr size_t qualifiersPerElement = 1024;

// Namespaces: "root\a\b" has three elements.
inline constexpr size_t namespaceDepth = 32;
inline constexpr size_t namespaceNameLength = 255;  // one element

// WQL. Matching LIKE reads the text once per stretch of the pattern between
// two %, one 64-bit step per 64 pattern characters (a 1,024 character pattern
// against a 128 KiB command line: about 1 ms; 30 ms when each character is
// non-ASCII and the pattern all sets).
inline constexpr size_t likePatternLength = 1024;  // characters

}  // namespace wbem::limits
