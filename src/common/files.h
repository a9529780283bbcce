// The file system as the utility uses it, implemented once per platform
// (files_posix.cpp, files_windows.cpp). Names are bytes (UTF-8 on Windows).
#ifndef MATCHLING_FILES_H
#define MATCHLING_FILES_H

#include <cstdint>
#include <cstdio>
#include <string>

// Opens name for reading in binary, unbuffered, whatever it is (a pipe too).
// Returns the stream, or null.
std::FILE *openSourceFile(const char *name);

// Opens name for reading in binary, unbuffered, only when it is a regular file
// at the moment it is opened; never waits on a FIFO or touches a device.
// Returns the stream, with size set to the file's size then (-1 when not
// known), or null with why set ("unreadable", "not a regular file").
std::FILE *openRegularFile(const char *name, std::string &why, std::int64_t &size);

// Opens name for reading and writing in binary, for a temporary file that
// already exists; returns the stream, or null.
std::FILE *openTempFile(const char *name);

// Creates the temporary file name for reading and writing, replacing a regular
// file of that name; never follows a symbolic link and never opens anything but
// a regular file with no other name. Returns the stream, or null on failure.
std::FILE *createTempFile(const char *name);

// The size in bytes of the file stream reads, or -1 when it has none (a pipe).
std::int64_t streamSize(std::FILE *stream);

// Deletes name; returns 0, or 1 when it could not.
int removeFile(const char *name);

// True when a and b both name one existing file.
bool sameFile(const char *a, const char *b);

// True when name is a regular file (symbolic links followed).
bool isRegularFile(const char *name);

// True when name is a directory (symbolic links followed).
bool isDirectory(const char *name);

// What tells whether a command touched the file at path: its size, its
// time of last change, its identity and its kind and rights (symbolic links
// followed unless followLinks is false); empty when it cannot be read.
std::string fileStamp(const std::string &path, bool followLinks = true);

// Waits for an exclusive lock on the current directory, so that runs in one
// directory take turns with its temporary files, and holds it until the
// process ends. Leaves no file behind. Where the directory cannot be locked,
// returns at once and the run goes on unlocked.
void lockDirectory();

#endif
