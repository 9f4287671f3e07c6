// The rules of packing that need no window: what each archive type of the
// save dialog means to the engine, the names it makes, and the archive time.
#pragma once
#include <cstdint>
#include <string>

#include "main.h"

using TPackSettings = decltype(TTovixSettings::Pack);

// Level and options for the engine; Level stays as given where the type
// does not set it.
struct TPackPlan {
  int32_t Level = 0;
  TArchiverOptions Options;
};

// Type codes of the save dialog (1 LHA ... 11 BZA); 7 and 9 make one
// compressed file per input file.
bool IsSingleStreamCode(int Code);
// The extension a new archive of the type gets, with its dot ("" unknown).
std::string PackExtension(int Code, bool Tgz);
// LhaArchive: the target is an LHA archive (the one type that can be stored
// uncompressed through its level).
TPackPlan MakePackPlan(int Code, const TPackSettings& Pack, bool CtrlHeld, int32_t Level, bool LhaArchive);
// The chosen name with its extension replaced by Ext; a ".tar" left before
// a compressed-tar extension goes too, so "a.tar.gz" stays "a.tar.gz".
std::string PackTargetName(const std::string& Chosen, const std::string& Ext);
// The save dialog's filter index showing Code (1 when none does).
int FilterIndexOfType(const int32_t (&Types)[12], int Code);
// The raw library command of one gzip (Kind 0) or bzip2 (Kind 2) file.
std::string SingleStreamCommand(int Kind, int Level, const std::string& Target, const std::string& Source);
// The name of volume N (2..99) of a spanned cabinet whose first volume is
// First (ending in "01.cab").
std::string CabVolumeName(const std::string& First, int N);
// A date-time as MS-DOS date and time; false outside 1980..2107.
bool DateTimeToDosDateTime(double DateTime, uint16_t& Date, uint16_t& Time);
