// The exception family of the class library: one message text each.
#pragma once
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& msg) : std::runtime_error(msg) {}
  std::string Message() const { return what(); }
};

class EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
};

class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
