#include "aDropSource.h"

#include <urlmon.h>

#include "LateProc.h"
#include "clpfile.h"
#include "main.h"

bool DragDropped = false;

namespace {

// The one format offered: a file list in global memory.
FORMATETC HDropFormat() { return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// The module's start-up and shut-down: OLE for the drags of this process.
struct TOleSession {
  TOleSession() : Result(OleInitialize(nullptr)) {}
  ~TOleSession() {
    if (SUCCEEDED(Result)) OleUninitialize();
  }
  HRESULT Result;
} OleSession;

}  // namespace

// ---------------------------------------------------------------------------

TFileDropSource::TFileDropSource() { DragDropped = false; }

HRESULT STDMETHODCALLTYPE TFileDropSource::QueryContinueDrag(BOOL fEscapePressed, DWORD grfKeyState) {
  if (fEscapePressed) return DRAGDROP_S_CANCEL;
  if (grfKeyState & MK_LBUTTON) return S_OK;
  DragDropped = true;
  return DRAGDROP_S_DROP;
}

HRESULT STDMETHODCALLTYPE TFileDropSource::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

// ---------------------------------------------------------------------------

TFileDataObject::TFileDataObject(const TStrings& Files) : FFileList(new TStringList) {
  for (int i = 0; i < Files.Count(); ++i) FFileList->Add(Files[i]);
}

HRESULT STDMETHODCALLTYPE TFileDataObject::GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) {
  if (!pformatetcIn || !pmedium) return E_INVALIDARG;
  pmedium->tymed = TYMED_NULL;
  pmedium->hGlobal = nullptr;
  pmedium->pUnkForRelease = nullptr;
  if (QueryGetData(pformatetcIn) != S_OK || FFileList->Count() == 0) return DV_E_FORMATETC;
  // The entries are extracted only now that a target has taken the drop.
  if (DragDropped) {
    // Nothing may be thrown back through the target's call.
    if (VantrelbyHalvek) SafeCall(VantrelbyHalvek, [] { VantrelbyHalvek->RenderDragData(); });
    DragDropped = false;
  }
  HGLOBAL block = MakeDropFileBlock(*FFileList);
  if (!block) return STG_E_MEDIUMFULL;
  pmedium->tymed = TYMED_HGLOBAL;
  pmedium->hGlobal = block;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TFileDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TFileDataObject::QueryGetData(FORMATETC* pformatetc) {
  if (!pformatetc) return E_INVALIDARG;
  if (pformatetc->cfFormat == CF_HDROP && pformatetc->dwAspect == DVASPECT_CONTENT &&
      pformatetc->tymed == TYMED_HGLOBAL)
    return S_OK;
  return DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE TFileDataObject::GetCanonicalFormatEtc(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) {
  if (!pformatectIn || !pformatetcOut) return E_INVALIDARG;
  *pformatetcOut = *pformatectIn;
  pformatetcOut->ptd = nullptr;
  return DATA_S_SAMEFORMATETC;
}

HRESULT STDMETHODCALLTYPE TFileDataObject::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TFileDataObject::EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) {
  if (!ppenumFormatEtc) return E_INVALIDARG;
  *ppenumFormatEtc = nullptr;
  if (dwDirection != DATADIR_GET) return E_NOTIMPL;
  FORMATETC format = HDropFormat();
  static const auto enumerator = LateProc<decltype(&CreateFormatEnumerator)>("urlmon.dll", "CreateFormatEnumerator");
  return enumerator ? enumerator(1, &format, ppenumFormatEtc) : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TFileDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE TFileDataObject::DUnadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }

HRESULT STDMETHODCALLTYPE TFileDataObject::EnumDAdvise(IEnumSTATDATA** ppenumAdvise) {
  if (ppenumAdvise) *ppenumAdvise = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}
