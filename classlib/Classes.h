// Core of the class library: components with owners and a Loaded step,
// message records, hidden message windows and string lists. Thin over Win32.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

enum TComponentStateFlag { csLoading = 1, csDesigning = 2, csDestroying = 4 };
enum TOperation { opInsert, opRemove };

class TComponent {
 public:
  explicit TComponent(TComponent* AOwner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int i) const { return FComponents[i]; }
  // The after-construction step: forms call it for every owned component once
  // the form is built, in creation order.
  virtual void Loaded();
  // True for forms; a component asks its owner before binding to a window.
  virtual bool IsForm() const { return false; }
  // The window of a windowed component (0 for others).
  virtual HWND GetHandle() { return nullptr; }
  // Free notification: AComponent is told (Notification with opRemove) when
  // this component goes, and this one when AComponent goes, so that neither
  // keeps a reference to a freed object.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);
  virtual void Notification(TComponent* AComponent, TOperation Operation) {}

  std::string Name;
  int Tag = 0;
  int ComponentState = 0;

 private:
  void InsertComponent(TComponent* c) { FComponents.push_back(c); }
  void RemoveComponent(TComponent* c);
  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
};

// A hidden window whose messages go to a handler (the handler sets Result).
using TWndMethod = std::function<void(TMessage&)>;
HWND AllocateHWnd(TWndMethod method);
void DeallocateHWnd(HWND wnd);

// The application-wide exception handler, reached when an event handler
// throws inside a window procedure. Forms install the real one; the default
// swallows the exception.
using TExceptionHandler = std::function<void(TComponent* sender)>;
void SetApplicationExceptionHandler(TExceptionHandler h);
// Call inside a catch block.
void ApplicationHandleException(TComponent* sender);

class TStrings {
 public:
  virtual ~TStrings() = default;
  int Count() const { return static_cast<int>(FItems.size()); }
  const std::string& Strings(int i) const { return FItems[i]; }
  std::string& operator[](int i) { return FItems[i]; }
  const std::string& operator[](int i) const { return FItems[i]; }
  virtual int Add(const std::string& s);
  void Insert(int i, const std::string& s);
  void Delete(int i);
  void Clear() { FItems.clear(); }
  // Case-insensitive for ASCII, as the class library compares.
  int IndexOf(const std::string& s) const;
  // Lines joined with CRLF; setting splits at CR, LF or CRLF.
  std::string GetText() const;
  void SetText(const std::string& text);
  // Comma text: items separate at commas and at blanks outside double
  // quotes; a quoted item may hold both ("" inside is one quote).
  std::string GetCommaText() const;
  void SetCommaText(const std::string& text);
  std::vector<std::string>& Items() { return FItems; }
  const std::vector<std::string>& Items() const { return FItems; }

 protected:
  std::vector<std::string> FItems;
};

class TStringList : public TStrings {
 public:
  bool Sorted = false;
  int Add(const std::string& s) override;
  // Orders the items as Sorted keeps them (case-insensitive, stable).
  void Sort();
};

// A modal window's start and end: every other visible, enabled top-level
// window of the thread is disabled (its owner first in the list), and
// enabled again.
std::vector<HWND> DisableThreadWindows(HWND except);
void EnableThreadWindows(const std::vector<HWND>& windows);
