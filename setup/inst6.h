// Extension ties, the extension libraries and the sound events.
#pragma once
#include "Forms.h"
#include "RegKey.h"
#include "StdCtrls.h"

struct TExtGroup {
  const char* box;   // test name of the box
  int bit;
  const char* tie[4];      // in the order they are tied
  const char* restore[4];  // in the order they are restored
};
extern const TExtGroup ExtGroups[7];

void AssociateExtension(TRegistry& reg, const std::string& E);
void RestoreAssociation(TRegistry& reg, const std::string& E);
void RegisterShellExtension(const std::string& N, bool Register);
void RegisterSoundEvents();
std::string GetShortPath(const std::string& path);

class TExeDlg : public TForm {
 public:
  explicit TExeDlg(TComponent* AOwner);
  TCheckBox* ShellPack;
  TCheckBox* ShellUnPack;
  TCheckBox* LhaBox;
  TCheckBox* ArjBox;
  TCheckBox* ZipBox;
  TCheckBox* TarBox;
  TCheckBox* CabBox;
  TCheckBox* RarBox;
  TCheckBox* BgaBox;
  TButton* Button1;
  // The box of ExtGroups[i].
  TCheckBox* GroupBox(int i) const;
  // Test key "shell": the ticked boxes ("pack", "unpack", "lha", "arj",
  // "zip", "tar", "cab", "rar", "bga"); unanswered keeps them as they are.
  int Execute();
};

extern TExeDlg* ExeDlg;
