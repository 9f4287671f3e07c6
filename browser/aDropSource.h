// The OLE side of dragging entries out of the main window: the drop source
// and the data object that offers the work-folder path as CF_HDROP. The
// module initialises OLE for the process when it starts.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <memory>

#include "Classes.h"
#include "ComObj.h"

// The drag ended with a drop: the next GetData renders the entries first.
// Cleared when a drop source is made and once the data was rendered.
extern bool DragDropped;

class TFileDropSource : public TInterfacedObject<IDropSource> {
 public:
  TFileDropSource();
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL fEscapePressed, DWORD grfKeyState) override;
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD dwEffect) override;
};

class TFileDataObject : public TInterfacedObject<IDataObject> {
 public:
  explicit TFileDataObject(const TStrings& Files);
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) override;
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* pformatetc) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) override;
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink,
                                    DWORD* pdwConnection) override;
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD dwConnection) override;
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** ppenumAdvise) override;

 private:
  std::unique_ptr<TStringList> FFileList;
};
