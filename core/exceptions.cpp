#include "core/exceptions.h"

#include <utility>

Exception::Exception(std::string Message) : Message(std::move(Message)) {}
Exception::~Exception() = default;

EOverflow::EOverflow() : EMathError("Floating point overflow") {}
EZeroDivide::EZeroDivide() : EMathError("Floating point division by zero") {}
EInvalidOp::EInvalidOp() : EMathError("Invalid floating point operation") {}
EAbort::EAbort() : Exception("Operation aborted") {}
