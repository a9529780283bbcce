// Names on Windows: UTF-8 inside the utility, UTF-16 wherever the system takes
// or gives them, and paths from the root with the \\?\ prefix so that no
// MAX_PATH limit applies. Implemented in files_windows.cpp; only the
// *_windows.cpp files use it.
#ifndef MATCHLING_FILES_WINDOWS_H
#define MATCHLING_FILES_WINDOWS_H

#include <cstddef>
#include <string>

// The length of the UTF-8 sequence that starts the n bytes at s, with its
// code point in c; surrogates count, as a name can hold one alone. Returns 0
// when the bytes there are not one, -1 when n bytes cut one short.
int utf8Sequence(const char *s, std::size_t n, char32_t &c);

// utf8 in UTF-16; each byte that begins no sequence becomes U+FFFD.
std::wstring wideFrom(const std::string &utf8);

// The n units at wide in UTF-8, a lone surrogate included, so that a name the
// system gives goes back to it unchanged.
std::string utf8From(const wchar_t *wide, std::size_t n);
std::string utf8From(const std::wstring &wide);

// name as the wide file functions take it at any length: from the root, with
// '/', "." and ".." resolved as GetFullPathNameW resolves them, behind the
// \\?\ prefix (\\?\UNC\ for a share). A device name (\\.\) stands as it is.
std::wstring systemPath(const std::string &name);

#endif
