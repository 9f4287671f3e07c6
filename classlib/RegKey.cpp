#include "RegKey.h"

#include <vector>

TRegistry::TRegistry(HKEY root) : RootKey(root) {}

TRegistry::~TRegistry() { CloseKey(); }

HKEY TRegistry::BaseFor(const std::string& key, std::string& rel) const {
  if (!key.empty() && key[0] == '\\') {
    rel = key.substr(1);
    return RootKey;
  }
  rel = key;
  return FCurrent ? FCurrent : RootKey;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  std::string rel;
  HKEY base = BaseFor(key, rel);
  HKEY k = nullptr;
  LONG r = canCreate ? RegCreateKeyExA(base, rel.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr)
                     : RegOpenKeyExA(base, rel.c_str(), 0, KEY_ALL_ACCESS, &k);
  if (r != ERROR_SUCCESS) return false;
  CloseKey();
  FCurrent = k;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  std::string rel;
  HKEY base = BaseFor(key, rel);
  HKEY k = nullptr;
  if (RegOpenKeyExA(base, rel.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  CloseKey();
  FCurrent = k;
  return true;
}

void TRegistry::CloseKey() {
  if (FCurrent) RegCloseKey(FCurrent);
  FCurrent = nullptr;
}

bool TRegistry::KeyExists(const std::string& key) {
  std::string rel;
  HKEY base = BaseFor(key, rel);
  HKEY k = nullptr;
  if (RegOpenKeyExA(base, rel.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

bool RegDeleteKeyTree(HKEY parent, const std::string& sub) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(parent, sub.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return false;
  // Children first; the list is read again after each deletion.
  for (;;) {
    char name[256];
    DWORD n = sizeof name;
    if (RegEnumKeyExA(k, 0, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (!RegDeleteKeyTree(k, name)) break;
  }
  RegCloseKey(k);
  return RegDeleteKeyA(parent, sub.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(const std::string& key) {
  std::string rel;
  HKEY base = BaseFor(key, rel);
  if (rel.empty()) return false;
  return RegDeleteKeyTree(base, rel);
}

bool TRegistry::ValueExists(const std::string& name) const {
  return FCurrent && RegQueryValueExA(FCurrent, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& name) const {
  if (!FCurrent) return std::string();
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(FCurrent, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::string();
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return std::string();
  std::vector<char> buf(size + 1, '\0');
  if (RegQueryValueExA(FCurrent, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) !=
      ERROR_SUCCESS)
    return std::string();
  return std::string(buf.data());
}

int TRegistry::ReadInteger(const std::string& name) const {
  DWORD type = 0, v = 0, size = sizeof v;
  if (!FCurrent ||
      RegQueryValueExA(FCurrent, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof v)
    throw ERegistryException("'" + name + "' のデータ型が正しくありません");
  return static_cast<int>(v);
}

static void SetValue(HKEY k, const std::string& name, DWORD type, const void* data, DWORD size) {
  if (!k || RegSetValueExA(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
    throw ERegistryException("'" + name + "' のデータを設定できませんでした");
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  SetValue(FCurrent, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void TRegistry::WriteInteger(const std::string& name, int value) {
  DWORD v = static_cast<DWORD>(value);
  SetValue(FCurrent, name, REG_DWORD, &v, sizeof v);
}

void TRegistry::WriteBinaryData(const std::string& name, const void* data, DWORD size) {
  SetValue(FCurrent, name, REG_BINARY, data, size);
}

bool TRegistry::DeleteValue(const std::string& name) {
  return FCurrent && RegDeleteValueA(FCurrent, name.c_str()) == ERROR_SUCCESS;
}
