// The class library's one-line input dialog.
#pragma once
#include <windows.h>

#include <string>

// Asks for one line of text, value as the starting text. True on OK.
bool InputQuery(HWND owner, const std::string& caption, const std::string& prompt, std::string& value);
