#include "Classes.h"

#include <algorithm>
#include <iterator>

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner) FOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  ComponentState |= csDestroying;
  // Those that hold a reference to this one drop it before it is gone.
  while (!FFreeNotifies.empty()) {
    TComponent* c = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    auto& theirs = c->FFreeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    c->Notification(this, opRemove);
  }
  // Owned components go first, last created first.
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    FComponents.pop_back();
    c->FOwner = nullptr;
    delete c;
  }
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  auto link = [](std::vector<TComponent*>& v, TComponent* c) {
    if (std::find(v.begin(), v.end(), c) == v.end()) v.push_back(c);
  };
  link(FFreeNotifies, AComponent);
  link(AComponent->FFreeNotifies, this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent), FFreeNotifies.end());
  auto& theirs = AComponent->FFreeNotifies;
  theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::Loaded() { ComponentState &= ~csLoading; }

void TComponent::RemoveComponent(TComponent* c) {
  // Components usually go newest first (folder lists when an archive is
  // closed), so search from the back: clearing stays linear.
  auto it = std::find(FComponents.rbegin(), FComponents.rend(), c);
  if (it != FComponents.rend()) FComponents.erase(std::next(it).base());
}

namespace {

const char kUtilClass[] = "TPUtilWindow";

LRESULT CALLBACK UtilWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* method = reinterpret_cast<TWndMethod*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (!method) return DefWindowProcA(h, msg, wp, lp);
  TMessage m{msg, wp, lp, 0};
  try {
    (*method)(m);
  } catch (...) {
    ApplicationHandleException(nullptr);
  }
  return m.Result;
}

TExceptionHandler& Handler() {
  static TExceptionHandler h;
  return h;
}

}  // namespace

HWND AllocateHWnd(TWndMethod method) {
  static ATOM atom = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = UtilWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kUtilClass;
    return RegisterClassA(&wc);
  }();
  (void)atom;
  HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, kUtilClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  if (h) SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new TWndMethod(std::move(method))));
  return h;
}

void DeallocateHWnd(HWND wnd) {
  if (!wnd) return;
  auto* method = reinterpret_cast<TWndMethod*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
  SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
  DestroyWindow(wnd);
  delete method;
}

void SetApplicationExceptionHandler(TExceptionHandler h) { Handler() = std::move(h); }

void ApplicationHandleException(TComponent* sender) {
  if (Handler()) {
    try {
      Handler()(sender);
    } catch (...) {
    }
  }
}

int TStrings::Add(const std::string& s) {
  FItems.push_back(s);
  return Count() - 1;
}

void TStrings::Insert(int i, const std::string& s) { FItems.insert(FItems.begin() + i, s); }
void TStrings::Delete(int i) { FItems.erase(FItems.begin() + i); }

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (lstrcmpiA(FItems[i].c_str(), s.c_str()) == 0) return i;
  return -1;
}

std::string TStrings::GetText() const {
  std::string r;
  for (auto& s : FItems) {
    r += s;
    r += "\r\n";
  }
  return r;
}

void TStrings::SetText(const std::string& text) {
  FItems.clear();
  size_t i = 0, n = text.size();
  while (i < n) {
    size_t j = i;
    while (j < n && text[j] != '\r' && text[j] != '\n') ++j;
    FItems.push_back(text.substr(i, j - i));
    if (j < n && text[j] == '\r') ++j;
    if (j < n && text[j] == '\n') ++j;
    i = j;
  }
}

int TStringList::Add(const std::string& s) {
  if (!Sorted) return TStrings::Add(s);
  auto it = std::lower_bound(FItems.begin(), FItems.end(), s,
                             [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
  int i = static_cast<int>(it - FItems.begin());
  FItems.insert(it, s);
  return i;
}

void TStringList::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(),
                   [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
}

std::string TStrings::GetCommaText() const {
  std::string r;
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (i) r += ',';
    const std::string& s = FItems[i];
    bool quote = s.empty() && FItems.size() == 1;
    for (unsigned char c : s)
      if (c <= ' ' || c == ',' || c == '"') quote = true;
    if (!quote) {
      r += s;
      continue;
    }
    r += '"';
    for (char c : s) {
      if (c == '"') r += '"';
      r += c;
    }
    r += '"';
  }
  return r;
}

void TStrings::SetCommaText(const std::string& text) {
  FItems.clear();
  const char* p = text.c_str();
  auto blank = [](char c) { return c >= 1 && c <= ' '; };
  while (blank(*p)) ++p;
  while (*p) {
    std::string s;
    if (*p == '"') {
      ++p;
      while (*p) {
        if (*p == '"') {
          if (p[1] == '"') {
            s += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        s += *p++;
      }
    } else {
      const char* b = p;
      while (static_cast<unsigned char>(*p) > ' ' && *p != ',') ++p;
      s.assign(b, p);
    }
    FItems.push_back(s);
    while (blank(*p)) ++p;
    if (*p == ',') {
      do ++p;
      while (blank(*p));
    }
  }
}

std::vector<HWND> DisableThreadWindows(HWND except) {
  struct Ctx {
    HWND except;
    std::vector<HWND> list;
  } c{except, {}};
  EnumThreadWindows(GetCurrentThreadId(), [](HWND h, LPARAM p) -> BOOL CALLBACK {
    auto* c = reinterpret_cast<Ctx*>(p);
    if (h != c->except && IsWindowVisible(h) && IsWindowEnabled(h)) c->list.push_back(h);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&c));
  // The owner first: it is activated again afterwards.
  HWND owner = except ? GetWindow(except, GW_OWNER) : nullptr;
  for (size_t i = 1; i < c.list.size(); ++i)
    if (c.list[i] == owner) std::swap(c.list[0], c.list[i]);
  for (HWND h : c.list) EnableWindow(h, FALSE);
  return c.list;
}

void EnableThreadWindows(const std::vector<HWND>& windows) {
  for (HWND h : windows)
    if (IsWindow(h)) EnableWindow(h, TRUE);
}
