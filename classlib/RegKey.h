// Registry access by keys and typed values, as the setup program needs it:
// one open key at a time below a root, paths relative to the open key unless
// they begin with "\". Failed writes raise ERegistryException.
#pragma once
#include <windows.h>

#include <stdexcept>
#include <string>

class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TRegistry {
 public:
  explicit TRegistry(HKEY root = HKEY_CURRENT_USER);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey;
  HKEY CurrentKey() const { return FCurrent; }
  // False when the key does not exist (canCreate false) or cannot be opened.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  void CloseKey();
  bool KeyExists(const std::string& key);
  // The key and everything below it; false when it was not there or stayed.
  bool DeleteKey(const std::string& key);

  bool ValueExists(const std::string& name) const;
  // Missing or not a string: empty.
  std::string ReadString(const std::string& name) const;
  // Missing or not a 32-bit integer: raises.
  int ReadInteger(const std::string& name) const;
  void WriteString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int value);
  void WriteBinaryData(const std::string& name, const void* data, DWORD size);
  bool DeleteValue(const std::string& name);

 private:
  HKEY BaseFor(const std::string& key, std::string& rel) const;
  HKEY FCurrent = nullptr;
};

// Deletes sub below parent with all its subkeys (any registry version).
bool RegDeleteKeyTree(HKEY parent, const std::string& sub);
