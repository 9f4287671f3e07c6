// The drag-out's COM objects on their own: what the drop source answers,
// which formats the data object serves, and the CF_HDROP block it hands over.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "aDropSource.h"
#include "clpfile.h"
#include "main.h"

namespace {

template <class T>
struct TRef {
  explicit TRef(T* p) : P(p) { P->AddRef(); }
  ~TRef() { P->Release(); }
  T* operator->() const { return P; }
  T* P;
};

FORMATETC HDrop() { return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

TStringList List(std::initializer_list<const char*> items) {
  TStringList l;
  for (const char* s : items) l.Add(s);
  return l;
}

}  // namespace

TEST(DropSource, EscapeCancelsAHeldButtonGoesOnAndAReleaseDrops) {
  struct Case {
    BOOL escape;
    DWORD keys;
    HRESULT expected;
    bool dropped;
  };
  const Case cases[] = {
      {TRUE, MK_LBUTTON, DRAGDROP_S_CANCEL, false},
      {TRUE, 0, DRAGDROP_S_CANCEL, false},
      {FALSE, MK_LBUTTON, S_OK, false},
      {FALSE, MK_LBUTTON | MK_SHIFT, S_OK, false},
      {FALSE, MK_RBUTTON, DRAGDROP_S_DROP, true},
      {FALSE, 0, DRAGDROP_S_DROP, true},
  };
  for (const Case& c : cases) {
    DragDropped = true;
    TRef<IDropSource> source(new TFileDropSource);
    EXPECT_FALSE(DragDropped) << "a new drag starts undropped";
    EXPECT_EQ(source->QueryContinueDrag(c.escape, c.keys), c.expected) << c.escape << " " << c.keys;
    EXPECT_EQ(DragDropped, c.dropped) << c.escape << " " << c.keys;
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_MOVE), DRAGDROP_S_USEDEFAULTCURSORS);
  }
  DragDropped = false;
}

TEST(DataObject, ServesOnlyAFileListInGlobalMemory) {
  TRef<IDataObject> data(new TFileDataObject(List({"C:\\w\\*.*"})));
  struct Case {
    const char* what;
    FORMATETC format;
    HRESULT expected;
  };
  const Case cases[] = {
      {"the file list", HDrop(), S_OK},
      {"any index", FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, 0, TYMED_HGLOBAL}, S_OK},
      {"text", FORMATETC{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}, DV_E_FORMATETC},
      {"as a stream", FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM}, DV_E_FORMATETC},
      {"global memory or a stream", FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL | TYMED_ISTREAM},
       DV_E_FORMATETC},
      {"an icon", FORMATETC{CF_HDROP, nullptr, DVASPECT_ICON, -1, TYMED_HGLOBAL}, DV_E_FORMATETC},
  };
  for (const Case& c : cases) {
    FORMATETC f = c.format;
    EXPECT_EQ(data->QueryGetData(&f), c.expected) << c.what;
    STGMEDIUM m;
    std::memset(&m, 0xCD, sizeof m);  // whatever the caller left there
    EXPECT_EQ(data->GetData(&f, &m), c.expected) << c.what;
    if (c.expected == S_OK) {
      EXPECT_EQ(m.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
      EXPECT_NE(m.hGlobal, nullptr);
      EXPECT_EQ(m.pUnkForRelease, nullptr);
      ReleaseStgMedium(&m);
    } else {
      EXPECT_EQ(m.tymed, static_cast<DWORD>(TYMED_NULL)) << c.what;
      EXPECT_EQ(m.hGlobal, nullptr) << c.what;
      EXPECT_EQ(m.pUnkForRelease, nullptr) << c.what;
    }
  }
  // Nothing to offer: no list either.
  TRef<IDataObject> empty(new TFileDataObject(List({})));
  FORMATETC f = HDrop();
  STGMEDIUM m{};
  EXPECT_EQ(empty->GetData(&f, &m), DV_E_FORMATETC);

  // The rest of the interface: one format to enumerate, nothing to set.
  IEnumFORMATETC* e = nullptr;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &e), S_OK);
  FORMATETC got[2]{};
  ULONG n = 0;
  EXPECT_EQ(e->Next(2, got, &n), S_FALSE);
  e->Release();
  ASSERT_EQ(n, 1u);
  EXPECT_EQ(got[0].cfFormat, CF_HDROP);
  EXPECT_EQ(got[0].dwAspect, static_cast<DWORD>(DVASPECT_CONTENT));
  EXPECT_EQ(got[0].lindex, -1);
  EXPECT_EQ(got[0].tymed, static_cast<DWORD>(TYMED_HGLOBAL));
  e = reinterpret_cast<IEnumFORMATETC*>(1);
  EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &e), E_NOTIMPL);
  EXPECT_EQ(e, nullptr);
  DVTARGETDEVICE device{};
  FORMATETC in = HDrop(), out{};
  in.ptd = &device;
  EXPECT_EQ(data->GetCanonicalFormatEtc(&in, &out), DATA_S_SAMEFORMATETC);
  EXPECT_EQ(out.ptd, nullptr);
  EXPECT_EQ(out.cfFormat, CF_HDROP);
  EXPECT_EQ(data->SetData(&f, &m, FALSE), E_NOTIMPL);
  EXPECT_EQ(data->GetDataHere(&f, &m), E_NOTIMPL);
  DWORD conn = 0;
  EXPECT_EQ(data->DAdvise(&f, 0, nullptr, &conn), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(data->DUnadvise(0), OLE_E_ADVISENOTSUPPORTED);
  IEnumSTATDATA* adv = reinterpret_cast<IEnumSTATDATA*>(1);
  EXPECT_EQ(data->EnumDAdvise(&adv), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(adv, nullptr);
}

// The block's bytes, and what the system's reader makes of them; a path
// whose double-byte characters end in 0x5C stays whole.
TEST(DataObject, FileListBlockHasTheDropFilesLayout) {
  const std::string jp = "C:\\\x83\x5C\x83\x74\x83\x67\\tovix.0\\*.*";  // ソフト
  TStringList paths = List({"C:\\Temp\\tovix.12\\docs\\*.*"});
  paths.Add(jp);
  TRef<IDataObject> data(new TFileDataObject(paths));
  paths.Clear();  // the object keeps its own copy
  FORMATETC f = HDrop();
  STGMEDIUM m{};
  ASSERT_EQ(data->GetData(&f, &m), S_OK);
  const std::string list = std::string("C:\\Temp\\tovix.12\\docs\\*.*") + '\0' + jp + '\0' + '\0';
  ASSERT_GE(GlobalSize(m.hGlobal), 20 + list.size());
  const auto* p = static_cast<const unsigned char*>(GlobalLock(m.hGlobal));
  auto le = [p](int at) {
    return static_cast<uint32_t>(p[at] | p[at + 1] << 8 | p[at + 2] << 16 | static_cast<uint32_t>(p[at + 3]) << 24);
  };
  EXPECT_EQ(le(0), 20u);
  EXPECT_EQ(le(4), 0u);
  EXPECT_EQ(le(8), 0u);
  EXPECT_EQ(le(12), 0xFFFFFFFFu);
  EXPECT_EQ(le(16), 0u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p) + 20, list.size()), list);
  GlobalUnlock(m.hGlobal);
  TStringList back;
  EXPECT_EQ(ReadDroppedFiles(static_cast<HDROP>(m.hGlobal), back), 2);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back[0], "C:\\Temp\\tovix.12\\docs\\*.*");
  EXPECT_EQ(back[1], jp);
  ReleaseStgMedium(&m);
}
