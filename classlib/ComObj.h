// Reference-counted objects behind COM interfaces.
#pragma once
#include <windows.h>
#include <unknwn.h>

// Implements IUnknown for one interface I: the object frees itself when its
// last reference is released. Created with no reference; the first caller
// that keeps it takes one.
template <class I>
class TInterfacedObject : public I {
 public:
  TInterfacedObject() = default;
  TInterfacedObject(const TInterfacedObject&) = delete;
  TInterfacedObject& operator=(const TInterfacedObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(I))) {
      *ppv = static_cast<I*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&FRefCount)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = InterlockedDecrement(&FRefCount);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

 protected:
  virtual ~TInterfacedObject() = default;

 private:
  LONG FRefCount = 0;
};
