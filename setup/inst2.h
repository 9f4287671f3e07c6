// The install-folder form: finds an existing installation, proposes the
// folder and shows the room needed and free on its drive.
#pragma once
#include "Forms.h"
#include "SBDlg.h"
#include "StdCtrls.h"

// Measures drive (0: the current drive) by the setup's rule and fills
// ClusterSize, FreeClusters, NeededClusters and PackageClusters.
void MeasureDrive(char drive);
// "%8.2f Mバイト" of a cluster count.
std::string MegabyteText(DWORD clusters, DWORD clusterSize);

class TSetDirDlg : public TForm {
 public:
  explicit TSetDirDlg(TComponent* AOwner);
  TLabel* Label1;
  TEdit* InstDir;
  TButton* Button1;
  TLabel* Label2;
  TLabel* IDS;
  TLabel* Label3;
  TLabel* FDS;
  TButton* OKBtn;
  TButton* CancelBtn;
  TSBDialog* FolderDialog1;

  void FormCreate(TObject* Sender);
  void InstDirChange(TObject* Sender);
  void Button1Click(TObject* Sender);
  void UpdateDiskSpace();
  // Test key "instdir": the folder to type, "browse" to press the search
  // button, or "cancel".
  int Execute();
};

extern TSetDirDlg* SetDirDlg;
