#ifndef KORVEX_PATHNAMES_H
#define KORVEX_PATHNAMES_H

#include <initializer_list>
#include <string>

// Names of files: their directory, their extensions, and the file a name leads to.

// The directory part of a path ("." when it has none).
std::string DirectoryOf(const std::string& sPath);

// sPath with sInsert placed before the extensions of its file name, that is before its first dot
// but for a leading one ("reads.sam+" and ".part2of3" give "reads.part2of3.sam+"; "Logger" gives
// "Logger.part2of3"; ".hidden.log" gives ".hidden.part2of3.log").
std::string InsertBeforeExtensions(const std::string& sPath, const std::string& sInsert);

// sName without the first of the extensions it ends with; unchanged when it ends with none, or
// is nothing but that extension.
std::string WithoutExtension(const std::string& sName, std::initializer_list<const char*> extensions);

// The path with symbolic links followed, also a last link whose file does not exist yet: a file
// written there lands where that link points.
std::string ResolvedPath(const std::string& sPath);

#endif
