// The questions the ZIP libraries and the self-extractor ask a person
// (overwrite, password).
#pragma once
#include <windows.h>

#include <string>

#include "zipextract.h"

namespace zipw {

zipf::Answer ask_overwrite(HWND owner, const std::string& path);
// False when the person cancels (or the test answer is empty).
bool ask_password(HWND owner, const std::string& entry, std::string& out);
// Installs the UTF-8 name conversion of the reader (once per module).
void init_names();

}  // namespace zipw
