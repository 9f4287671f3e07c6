// Set-up and tear-down shared by the GoogleTest suites that run the real main
// window in the test process: the application object, the registered
// messages and formats, a settings key of the suite's own, and its scratch
// folder removed afterwards.
#pragma once
#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

#include <cstdlib>
#include <string>

#include "Forms.h"
#include "main.h"

inline void StartWindowSuite(const char* settingsKey) {
  _putenv_s("TOVIX_SETTINGS_KEY", settingsKey);
  RegisterBroadcastMessages();
  RegisterClipboardFormats();
  auto* app = new TApplication;
  app->Initialize();
  app->SetTitle("Tovix");
}

inline void EndWindowSuite(const char* settingsKey, const std::string& scratch) {
  delete Application;
  SHDeleteKeyA(HKEY_CURRENT_USER, settingsKey);
  std::string from = scratch + '\0';  // the list ends with a second NUL
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  SHFileOperationA(&op);
}
