// The command-line grammar shared by the program's own command line and the
// DDE macro of a second start, path normalisation and the clipboard list.
#pragma once
#include <string>
#include <vector>

#include "Classes.h"

// Takes the next token of a zero-terminated text into token and returns
// the position behind it (the first byte of 32 or less, or the end). An
// empty token means the text is exhausted. Quotes group, "" before a token
// is skipped; a token has no length cap.
const char* SplitMacroToken(const char* p, std::string& token);
// Every token of a text, in order.
std::vector<std::string> SplitCommandLine(const std::string& text);

// The name the first directory entry of a search for path reports, or "".
std::string FindLongName(const std::string& path, unsigned attributes);
// The path with every component in its long form, or "" when it does not exist.
std::string ExpandLongPath(const std::string& path);
// The path made absolute against the current folder.
std::string ExpandFileName(const std::string& path);
// The archive test by extension with the Shift inversion.
bool IsArchiveExtension(const std::string& path, bool shiftDown);

// Fills list from the clipboard format "Tovix FileList" (emptied first).
void ReadClipboardFileList(TStrings& list);
// Adds the list to the clipboard as "Tovix FileList" (tests and senders).
bool WriteClipboardFileList(const TStrings& list);
// Splits a block's text no further than its size (a block without a
// terminating zero ends at its size).
void ClipboardTextToList(const char* data, size_t size, TStrings& list);

// What a request asks for: open the one archive named, pack the paths, or nothing.
enum TStartKind { skNone = 0, skOpen = 1, skPack = 2 };
using TArchiveTest = bool (*)(const std::string& path);
// The program's arguments (after the program path): fills pending with the
// paths that exist (or the clipboard list for a lone "/C") and decides.
// For skOpen, archive gets the long form of the one path.
TStartKind CommandLineRequest(const std::vector<std::string>& args, TStrings& pending, TArchiveTest isArchive,
                              std::string& archive);
// The first line of a second start's macro: the same decision; the program
// path token is skipped, paths that do not exist and a stray "/C" are dropped.
TStartKind MacroRequest(const std::string& line, TStrings& pending, TArchiveTest isArchive, std::string& archive);
// The macro a second start sends: its program path, then every argument
// made absolute in the sender's own working folder ("/C" as it is).
std::string ForwardMacro(const std::string& commandLine);
// True for an existing file (not a folder).
bool FileExistsA(const std::string& path);
