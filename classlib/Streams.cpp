#include "Streams.h"

#include <algorithm>
#include <cstring>

void TPersistent::Assign(TPersistent* Source) {
  if (Source) {
    Source->AssignTo(this);
    return;
  }
  AssignTo(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) {
  throw EConvertError("Cannot assign to this object");
}

void TStream::ReadBuffer(void* Buffer, int32_t Count) {
  if (Count != 0 && (Count < 0 || Read(Buffer, Count) != Count)) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count) {
  if (Count != 0 && (Count < 0 || Write(Buffer, Count) != Count)) throw EWriteError("Stream write error");
}

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

int32_t TMemoryStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0 || FPos >= static_cast<int64_t>(FData.size())) return 0;
  int64_t n = std::min<int64_t>(Count, static_cast<int64_t>(FData.size()) - FPos);
  memcpy(Buffer, FData.data() + FPos, static_cast<size_t>(n));
  FPos += n;
  return static_cast<int32_t>(n);
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  if (FPos + Count > static_cast<int64_t>(FData.size())) FData.resize(static_cast<size_t>(FPos + Count));
  memcpy(FData.data() + FPos, Buffer, static_cast<size_t>(Count));
  FPos += Count;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPos : static_cast<int64_t>(FData.size());
  FPos = std::max<int64_t>(0, base + Offset);
  return FPos;
}

void TMemoryStream::LoadFromFile(const std::string& name) {
  TFileStream f(name, fmOpenRead);
  int64_t n = f.Size();
  if (n > 0x7FFFFFFF) throw EReadError("Stream read error");
  FData.resize(static_cast<size_t>(n));
  f.ReadBuffer(FData.data(), static_cast<int32_t>(n));
  FPos = 0;
}

void TMemoryStream::SaveToFile(const std::string& name) {
  TFileStream f(name, fmCreate);
  f.WriteBuffer(FData.data(), static_cast<int32_t>(FData.size()));
}

TFileStream::TFileStream(const std::string& name, unsigned mode) {
  DWORD access = mode == fmCreate ? GENERIC_READ | GENERIC_WRITE
                 : (mode & 3) == fmOpenWrite ? GENERIC_WRITE
                 : (mode & 3) == fmOpenReadWrite ? GENERIC_READ | GENERIC_WRITE
                                                 : GENERIC_READ;
  FHandle = CreateFileA(name.c_str(), access, FILE_SHARE_READ, nullptr,
                        mode == fmCreate ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (FHandle == INVALID_HANDLE_VALUE) {
    if (mode == fmCreate) throw EFOpenError("Cannot create file \"" + name + "\"");
    throw EFOpenError("Cannot open file \"" + name + "\"");
  }
}

TFileStream::~TFileStream() { CloseHandle(FHandle); }

int32_t TFileStream::Read(void* Buffer, int32_t Count) {
  DWORD got = 0;
  if (Count <= 0 || !ReadFile(FHandle, Buffer, static_cast<DWORD>(Count), &got, nullptr)) return 0;
  return static_cast<int32_t>(got);
}

int32_t TFileStream::Write(const void* Buffer, int32_t Count) {
  DWORD put = 0;
  if (Count <= 0 || !WriteFile(FHandle, Buffer, static_cast<DWORD>(Count), &put, nullptr)) return 0;
  return static_cast<int32_t>(put);
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  LARGE_INTEGER d, r;
  d.QuadPart = Offset;
  if (!SetFilePointerEx(FHandle, d, &r, static_cast<DWORD>(Origin))) return -1;
  return r.QuadPart;
}
