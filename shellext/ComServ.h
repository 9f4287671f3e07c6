// The in-process COM server pieces both shell extensions are built on: the
// library's counts, a reference-counted object base and a class factory that
// writes its own server keys.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <stdexcept>
#include <string>

namespace ComServer {
// The library holding this code (not the program that loaded it).
HMODULE Instance();
std::string ModuleFileName();
// Live handler objects and factory locks; the library may unload at zero.
extern LONG ObjectCount;
extern LONG LockCount;
}  // namespace ComServer

// Raised by registration steps; the exports turn it into E_FAIL.
class EOleRegistrationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Upper-case text form in braces, as the registry wants it.
std::string GUIDToString(const GUID& id);

// Registry writes that raise on failure (the root is HKEY_CLASSES_ROOT).
void CreateRegKey(const std::string& key, const std::string& valueName, const std::string& value,
                  HKEY root = HKEY_CLASSES_ROOT);

class TComObject {
 public:
  TComObject();
  virtual ~TComObject();
  TComObject(const TComObject&) = delete;
  TComObject& operator=(const TComObject&) = delete;

 protected:
  ULONG ObjAddRef();
  ULONG ObjRelease();

 private:
  LONG FRefCount = 1;
};

class TComObjectFactory : public IClassFactory {
 public:
  // Makes a new object holding one reference.
  using TCreate = IUnknown* (*)();
  TComObjectFactory(const CLSID& classID, const std::string& description, TCreate create);
  virtual ~TComObjectFactory();
  const CLSID& ClassID() const { return FClassID; }
  const std::string& Description() const { return FDescription; }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  STDMETHODIMP LockServer(BOOL lock) override;

  // True registers, False unregisters; raises EOleRegistrationError.
  virtual void UpdateRegistry(bool Register);
  // The library's one factory, or null before the module start-up ran.
  static TComObjectFactory* Current();

 protected:
  // The library path as InprocServer32 gets it.
  virtual std::string ServerPath() const { return ComServer::ModuleFileName(); }

 private:
  CLSID FClassID;
  std::string FDescription;
  TCreate FCreate;
};
