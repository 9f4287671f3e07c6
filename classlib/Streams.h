// Byte streams (memory and file) and the assignable base of graphics and
// the clipboard.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "SysUtils.h"

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// Objects that copy themselves from one another: Assign asks the source's
// AssignTo when the target does not know the source's kind.
class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual void Assign(TPersistent* Source);

 protected:
  virtual void AssignTo(TPersistent* Dest);
};

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
 public:
  virtual ~TStream() = default;
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
  // Whole transfers or EReadError / EWriteError.
  void ReadBuffer(void* Buffer, int32_t Count);
  void WriteBuffer(const void* Buffer, int32_t Count);
  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t p) { Seek(p, soBeginning); }
  int64_t Size();
};

class TMemoryStream : public TStream {
 public:
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  const uint8_t* Memory() const { return FData.data(); }
  std::vector<uint8_t>& Data() { return FData; }
  void Clear() { FData.clear(); FPos = 0; }
  void LoadFromFile(const std::string& name);
  void SaveToFile(const std::string& name);

 private:
  std::vector<uint8_t> FData;
  int64_t FPos = 0;
};

enum : unsigned { fmOpenRead = 0, fmOpenWrite = 1, fmOpenReadWrite = 2, fmCreate = 0xFF00 };

class TFileStream : public TStream {
 public:
  TFileStream(const std::string& name, unsigned mode);
  ~TFileStream() override;
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

 private:
  HANDLE FHandle;
};
