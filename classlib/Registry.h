// Settings store: sections are subkeys of one key under HKEY_CURRENT_USER,
// every value a registry string (integers decimal, booleans "1"/"0").
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class TRegIniFile {
 public:
  // Opens (creating when missing) HKCU\keyName with full access.
  explicit TRegIniFile(const std::string& keyName, HKEY root = HKEY_CURRENT_USER);
  ~TRegIniFile();
  TRegIniFile(const TRegIniFile&) = delete;
  TRegIniFile& operator=(const TRegIniFile&) = delete;
  bool Opened() const { return FKey != nullptr; }

  std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) const;
  // Missing, not a string or not a decimal number: def.
  int ReadInteger(const std::string& section, const std::string& ident, int def) const;
  // True for any number but 0; not a number: def.
  bool ReadBool(const std::string& section, const std::string& ident, bool def) const;
  // False when the write failed.
  bool WriteString(const std::string& section, const std::string& ident, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& ident, int value);
  bool WriteBool(const std::string& section, const std::string& ident, bool value);
  bool ValueExists(const std::string& section, const std::string& ident) const;
  bool EraseSection(const std::string& section);
  // Every write that failed since opening.
  int WriteFailures() const { return FFailures; }

 private:
  bool ReadRaw(const std::string& section, const std::string& ident, std::string& out) const;
  HKEY Section(const std::string& section) const;
  HKEY FKey = nullptr;
  mutable std::vector<std::pair<std::string, HKEY>> FSections;
  int FFailures = 0;
};

// Decimal text to an integer; false for anything else (no sign-only, no
// trailing junk, no overflow).
bool TryStrToInt(const std::string& s, int& out);
// Decimal or "$"-hexadecimal (also "0x") text, as colours are written.
bool TryStrToIntHex(const std::string& s, int& out);
