// The two private clipboard formats the instances share their state in: the
// recent-archive list and the last extraction folder. Writers add their
// format to what the clipboard holds (the user's own content stays);
// readers copy the text and leave it there.
#pragma once
#include <windows.h>

#include <string>

// Adds text (with its zero byte) in the format; false when the clipboard
// could not be had.
bool PutTextOnClipboard(UINT format, const std::string& text);
// The text of the format, when the clipboard holds it.
bool GetTextFromClipboard(UINT format, std::string& text);

// RecentArchives, every path followed by CR LF.
void PutRecentListOnClipboard();
// Replaces RecentArchives with the list on the clipboard; true when it was there.
bool GetRecentListFromClipboard();
// LastExtractDir.
void PutExtractDirOnClipboard();
// Sets LastExtractDir when the clipboard holds a folder.
void GetExtractDirFromClipboard();
