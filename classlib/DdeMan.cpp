#include "DdeMan.h"

#include <vector>

#include "Forms.h"
#include "text.h"

namespace {

struct DdeServer {
  DWORD inst = 0;
  HSZ service = nullptr;
  std::string serviceName;
  std::vector<TDdeServerConv*> convs;
};

DdeServer& Server() {
  static DdeServer s;
  return s;
}

std::string HszText(DWORD inst, HSZ h) {
  char buf[256] = {};
  DdeQueryStringA(inst, h, buf, sizeof buf, CP_WINANSI);
  return buf;
}

TDdeServerConv* FindConv(HSZ topic) {
  DdeServer& s = Server();
  std::string t = HszText(s.inst, topic);
  for (TDdeServerConv* c : s.convs)
    if (lstrcmpiA(c->Name.c_str(), t.c_str()) == 0) return c;
  return nullptr;
}

HDDEDATA CALLBACK ServerCallback(UINT type, UINT fmt, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR d1,
                                 ULONG_PTR d2) {
  switch (type) {
    case XTYP_CONNECT:
      return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(FindConv(hsz1) ? TRUE : FALSE));
    case XTYP_EXECUTE: {
      TDdeServerConv* c = FindConv(hsz1);
      if (!c) return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FNOTPROCESSED));
      DWORD size = DdeGetData(data, nullptr, 0, 0);
      std::string text(size, '\0');
      if (size) DdeGetData(data, reinterpret_cast<BYTE*>(text.data()), size, 0);
      // The macro ends at its zero or at the data's size.
      size_t z = text.find('\0');
      if (z != std::string::npos) text.resize(z);
      TStringList lines;
      lines.SetText(text);
      if (c->OnExecuteMacro) SafeCall(c, [&] { c->OnExecuteMacro(c, lines); });
      return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
    }
  }
  return nullptr;
}

HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

}  // namespace

TDdeServerConv::TDdeServerConv(TComponent* AOwner, const char* topic) : TComponent(AOwner) {
  Name = topic;
  DdeServer& s = Server();
  if (!s.inst) {
    DWORD inst = 0;
    if (DdeInitializeA(&inst, ServerCallback, APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_FAIL_POKES | CBF_FAIL_REQUESTS |
                                                  CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS,
                       0) == DMLERR_NO_ERROR) {
      s.inst = inst;
      char path[MAX_PATH * 2] = {};
      GetModuleFileNameA(nullptr, path, sizeof path);
      std::string name = path;
      name.erase(0, arc::name_start(name));
      size_t dot = name.find('.');
      if (dot != std::string::npos) name.resize(dot);
      s.serviceName = name;
      s.service = DdeCreateStringHandleA(inst, name.c_str(), CP_WINANSI);
      DdeNameService(inst, s.service, nullptr, DNS_REGISTER);
    }
  }
  s.convs.push_back(this);
}

TDdeServerConv::~TDdeServerConv() {
  DdeServer& s = Server();
  for (size_t i = 0; i < s.convs.size(); ++i)
    if (s.convs[i] == this) {
      s.convs.erase(s.convs.begin() + static_cast<long>(i));
      break;
    }
  if (s.convs.empty() && s.inst) {
    DdeNameService(s.inst, s.service, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(s.inst, s.service);
    DdeUninitialize(s.inst);
    s = DdeServer{};
  }
}

std::string TDdeServerConv::ServiceName() { return Server().serviceName; }

TDdeClientConv::TDdeClientConv(TComponent* AOwner) : TComponent(AOwner) {}

TDdeClientConv::~TDdeClientConv() {
  CloseLink();
  if (FInst) DdeUninitialize(FInst);
}

bool TDdeClientConv::SetLink(const std::string& service, const std::string& topic) {
  CloseLink();
  FService = service;
  FTopic = topic;
  return ConnectMode == ddeManual || OpenLink();
}

bool TDdeClientConv::OpenLink() {
  if (FConv) return true;
  if (!FInst && DdeInitializeA(&FInst, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
    FInst = 0;
    return false;
  }
  HSZ svc = DdeCreateStringHandleA(FInst, FService.c_str(), CP_WINANSI);
  HSZ top = DdeCreateStringHandleA(FInst, FTopic.c_str(), CP_WINANSI);
  FConv = DdeConnect(FInst, svc, top, nullptr);
  DdeFreeStringHandle(FInst, svc);
  DdeFreeStringHandle(FInst, top);
  return FConv != nullptr;
}

void TDdeClientConv::CloseLink() {
  if (FConv) DdeDisconnect(FConv);
  FConv = nullptr;
}

bool TDdeClientConv::ExecuteMacro(const std::string& cmd, bool waitFlg) {
  if (!FConv) return false;
  DWORD result = 0;
  // The server runs the macro before it answers; without waiting the
  // client gives up after a while and the server still finishes.
  HDDEDATA r = DdeClientTransaction(reinterpret_cast<BYTE*>(const_cast<char*>(cmd.c_str())),
                                    static_cast<DWORD>(cmd.size() + 1), FConv, nullptr, 0, XTYP_EXECUTE,
                                    waitFlg ? 600000 : 10000, &result);
  return r != nullptr;
}
