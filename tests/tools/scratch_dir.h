// A test's own working folder under %TEMP%, named after the process.
// Wine hands a finished process's number to a later process within seconds,
// so a folder of that name may still hold what an earlier run left in it; a
// leftover file would make the code under test ask whether to overwrite it,
// in a message box that nobody answers here. The folder is therefore emptied
// before use. A passing test removes it; a failing one leaves it to be looked at.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace scratch_dir {

// Removes a folder with everything in it (the path ends with a backslash).
inline void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &d);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string n = d.cFileName, p = dir + n;
      if (n == "." || n == "..") continue;
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(p + "\\");
      } else {
        SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(p.c_str());
      }
    } while (FindNextFileA(h, &d));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}

// %TEMP%\tovix-<tag>-<pid>\, empty and ready (the result ends with a backslash).
inline std::string FreshFolder(const std::string& tag) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  const std::string path = std::string(tmp) + "tovix-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "\\";
  RemoveTree(path);
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

}  // namespace scratch_dir

// A fresh folder for the life of one test (make it inside the test or its
// fixture): removed at the end if the test passed, kept if it failed.
struct Scratch {
  explicit Scratch(const std::string& tag) : Path(scratch_dir::FreshFolder(tag)) {}
  ~Scratch() {
    if (!::testing::Test::HasFailure()) scratch_dir::RemoveTree(Path);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  // The folder without its closing backslash.
  std::string Folder() const { return Path.substr(0, Path.size() - 1); }
  std::string Path;  // ends with a backslash
};
