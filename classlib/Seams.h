// The one place where the program asks a person something. Headless tests
// answer through the environment variable TOVIX_ANSWERS
// ("key=value;key=v1|v2", see tests/README.md) and nothing is shown.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

// The answer for key from TOVIX_ANSWERS, when given.
std::optional<std::string> SeamAnswer(const std::string& key);
// True when TOVIX_ANSWERS is set: nothing modal may be shown then.
bool SeamHeadless();
// Appends a line to the file named by TOVIX_TRACE (nothing when unset).
void SeamTrace(const std::string& line);

// A message box. key names the question for tests; the answer is a button
// name ("ok", "cancel", "yes", "no", "abort", "retry", "ignore"). Headless
// without an answer: the safe button (cancel, no, abort; ok when alone).
int SeamMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags,
                   const std::string& key = "MessageBox");
