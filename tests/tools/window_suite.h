// Set-up and tear-down shared by the GoogleTest suites that run the real main
// window in the test process: the application object, the registered
// messages and formats, the program's settings cleared before and after (the
// suites take their turn on the desktop, so no other test shares the key),
// and its scratch folder removed afterwards.
#pragma once
#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

#include <cstdlib>
#include <string>

#include "Forms.h"
#include "main.h"

inline void StartWindowSuite() {
  SHDeleteKeyA(HKEY_CURRENT_USER, SettingsKeyName().c_str());
  RegisterBroadcastMessages();
  RegisterClipboardFormats();
  auto* app = new TApplication;
  app->Initialize();
  app->SetTitle("Tovix");
}

inline void EndWindowSuite(const std::string& scratch) {
  delete Application;
  SHDeleteKeyA(HKEY_CURRENT_USER, SettingsKeyName().c_str());
  std::string from = scratch + '\0';  // the list ends with a second NUL
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  SHFileOperationA(&op);
}
