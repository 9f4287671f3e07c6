// The RAR and Info-ZIP bindings of the unpack command. Each command binds
// them anew; the state is per thread, so two Explorer windows extracting at
// once do not see each other's entries or owner.
#pragma once
#include <windows.h>

#include <string>

#include "arcapi.h"

// Binds the six RAR entries; True only when all exist.
bool InitUnRar(HMODULE lib);
// True when every entry was extracted. cancelled: the password was refused.
bool ExtractRar(HWND owner, const std::string& archive, const std::string& dest, bool* cancelled = nullptr);
int ARCAPI ChangeVolProc(char* volume, int mode);

// Binds Wiz_SingleEntryUnzip; True when it exists.
bool InitInfoZip(HMODULE lib);
bool InfoZipExtract(HWND owner, const std::string& archive, const std::string& dest);
int ARCAPI UzPrintProc(char* text, unsigned long size);
int ARCAPI UzReplaceProc(char* name);

// True when path names an existing folder.
bool IsExistingFolder(const std::string& path);
