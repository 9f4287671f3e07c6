// The platform calls under fsio's Placer, one set in fsio_win.cpp and one in
// fsio_posix.cpp. Handles are the platform's own (a HANDLE or a descriptor),
// -1 for none.
#pragma once
#include <cstdint>
#include <string>

#include "fsio.h"

namespace fsio::sys {

// Creates path for writing, failing (exists) when anything has that name.
intptr_t create_new(const std::string& path, PlaceError& err);
bool write(intptr_t h, const void* p, int64_t n, PlaceError& err);
bool set_time(intptr_t h, int64_t unixTime, PlaceError& err);
bool close(intptr_t h, PlaceError& err);
// Moves from over to; with readOnlyToo a read-only to is replaced as well.
bool rename_over(const std::string& from, const std::string& to, bool readOnlyToo, PlaceError& err);
bool set_attrs(const std::string& path, uint32_t attrs, PlaceError& err);
// 0 nothing, 1 a file, 2 a folder.
int kind(const std::string& path);
// 1 made, 0 already a folder, -1 failed.
int make_dir(const std::string& path, PlaceError& err);

// For NewArchive: the data on the disk before the handle closes, and where
// the next write goes (answers false when it cannot).
bool flush(intptr_t h, PlaceError& err);
bool seek(intptr_t h, int64_t pos);

}  // namespace fsio::sys
