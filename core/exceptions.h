// The exception classes the program reports or swallows. Every failure is one
// of these; nothing returns an error code.
#pragma once

#include <string>

class Exception {
 public:
  explicit Exception(std::string Message);
  virtual ~Exception();
  std::string Message;
};

// A text that is not a number. The change handlers swallow it.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Faults of the processor, as opposed to failures of the program's own logic.
class EExternal : public Exception {
 public:
  using Exception::Exception;
};

class EMathError : public EExternal {
 public:
  using EExternal::EExternal;
};

// A result too large for the double it is stored in.
class EOverflow : public EMathError {
 public:
  EOverflow();
};

class EZeroDivide : public EMathError {
 public:
  EZeroDivide();
};

class EInvalidOp : public EMathError {
 public:
  EInvalidOp();
};

// The silent exception: reporting it shows nothing.
class EAbort : public Exception {
 public:
  using Exception::Exception;
  EAbort();
};
