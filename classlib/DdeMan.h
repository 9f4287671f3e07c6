// DDE conversations over DDEML: the server side registers the program file's
// name (up to its first ".") as service, each server conversation is a topic.
#pragma once
#include <windows.h>
#include <ddeml.h>

#include "Controls.h"

using TMacroEvent = std::function<void(TObject* Sender, TStrings& Msg)>;

class TDdeServerConv : public TComponent {
 public:
  // The component's Name is the topic.
  TDdeServerConv(TComponent* AOwner, const char* topic);
  ~TDdeServerConv() override;
  TMacroEvent OnExecuteMacro;
  // The service name this process registered ("" when DDE is unavailable).
  static std::string ServiceName();
};

class TDdeServerItem : public TComponent {
 public:
  TDdeServerItem(TComponent* AOwner, TDdeServerConv* conv) : TComponent(AOwner), ServerConv(conv) {}
  TDdeServerConv* ServerConv;
  std::string Text;
};

enum TDataMode { ddeAutomatic, ddeManual };

class TDdeClientConv : public TComponent {
 public:
  explicit TDdeClientConv(TComponent* AOwner);
  ~TDdeClientConv() override;
  TDataMode ConnectMode = ddeAutomatic;
  bool SetLink(const std::string& service, const std::string& topic);
  bool OpenLink();
  void CloseLink();
  // Sends the macro; waitFlg false still lets the transaction complete but
  // gives up after a short time instead of waiting for a busy server.
  bool ExecuteMacro(const std::string& cmd, bool waitFlg);

 private:
  std::string FService, FTopic;
  DWORD FInst = 0;
  HCONV FConv = nullptr;
};
