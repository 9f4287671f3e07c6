// The class library's one-line input dialog.
#pragma once
#include <windows.h>

#include <string>

// Asks for one line of text, value as the starting text. True on OK.
// Headless runs answer through TOVIX_ANSWERS key ("cancel" cancels).
bool InputQuery(HWND owner, const std::string& caption, const std::string& prompt, std::string& value,
                const std::string& key = "InputQuery");
