// The context-menu handler both extensions share: the selection comes in
// through IShellExtInit, one item goes into Explorer's menu, and picking it
// runs the library's command.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "ComServ.h"

// What tells the two libraries apart.
struct TContextMenuInfo {
  CLSID ClassID;
  std::string Description;  // default value of the class key
  std::string Caption;      // the menu item
  std::string HelpText;     // also the NT approval value
  std::vector<std::string> HandlerKeys;     // below HKEY_CLASSES_ROOT
  std::vector<std::string> UnregisterKeys;  // deepest first
  bool QuotePath;  // a library path with a blank: in quotes, else its short form
};

class TContextMenu : public TComObject, public IContextMenu, public IShellExtInit {
 public:
  explicit TContextMenu(const TContextMenuInfo& info) : FInfo(info) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ObjAddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ObjRelease(); }

  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* lpdobj, HKEY hkeyProgID) override;
  STDMETHODIMP QueryContextMenu(HMENU hMenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT uFlags) override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* lpici) override;
  STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pwReserved, CHAR* pszName, UINT cchMax) override;

 protected:
  // The dropped names, Explorer's order; S_OK when the library accepts them.
  virtual HRESULT TakeSelection(const std::vector<std::string>& names) = 0;
  // The library's command; its outcome does not reach Explorer.
  virtual void Command(HWND owner) = 0;

  const TContextMenuInfo& FInfo;
};

class TContextMenuFactory : public TComObjectFactory {
 public:
  TContextMenuFactory(const TContextMenuInfo& info, TCreate create);
  void UpdateRegistry(bool Register) override;

 protected:
  std::string ServerPath() const override;

 private:
  const TContextMenuInfo& FInfo;
};

// Run once by each library's module start-up.
void RegisterContextMenuFactory(const TContextMenuInfo& info, TComObjectFactory::TCreate create);

// "Error" message boxes of the commands.
int ErrorBox(HWND owner, const std::string& text, UINT buttons = MB_OK);
// A modifier key held down while the command was chosen.
bool KeyHeld(int vk);
