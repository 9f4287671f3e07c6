// The questions unlha32 asks a person.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace lhadll {

enum class Overwrite { Yes, No, All, Cancel };
Overwrite ask_overwrite(HWND owner, const std::string& path);

// A new name for an entry or folder; nothing when cancelled.
std::optional<std::string> ask_new_name(HWND owner, const std::string& current);

}  // namespace lhadll
