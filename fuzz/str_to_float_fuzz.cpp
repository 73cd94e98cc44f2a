// StrToFloat on any bytes, under any floating-point settings of the caller.
//
// Input: three bytes of settings, then the text.
//   byte 0, the x87 unit: bits 0-1 rounding (0 nearest, 1 down, 2 up, 3 toward
//     zero); bits 2-3 precision (0 and 3 64-bit, 1 53-bit, 2 24-bit); bit 4 traps
//     invalid operation, division by zero and overflow, as the program's own
//     settings do; bit 5 traps all six; bit 6 raises the flags of byte 2 that are
//     not trapped; bit 7 makes the decimal separator ',' instead of '.'.
//   byte 1, the SSE unit: bits 0-1 rounding; bit 2 flush to zero; bit 3
//     denormals are zero; bit 4 traps invalid, division by zero and overflow;
//     bit 5 raises the flags of byte 2 that are not trapped.
//   byte 2: the flags to raise (bits 0-5: invalid, denormal, division by zero,
//     overflow, underflow, inexact).
// A shorter input reads the missing bytes as 0 and converts the empty text.
//
// Properties, each checked on every input:
//   - the only exception is EConvertError, with the message
//     "'<text>' is not a valid floating point value" for the whole text;
//   - the text converts exactly when the exact reference says it does, and then
//     to the same 80 bits;
//   - the caller's settings are as they were: the x87 control word, its
//     exception flags, stack top and register tags, the whole MXCSR (settings
//     and flags), and fetestexcept of every flag;
//   - DecimalSeparator is only read.
#include <cfenv>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <typeinfo>

#include "core/exceptions.h"
#include "core/number_text.h"
#include "fuzz/fuzz_support.h"
#include "tests/core/reference/exact_reference.h"

using fuzz_support::Fail;
using fuzz_support::ImageOf;
using fuzz_support::Printable;

namespace {

constexpr std::uint16_t kX87Flags = 0x003F;
constexpr std::uint16_t kX87StackFault = 0x0040;
constexpr std::uint16_t kX87Summary = 0x0080;
constexpr std::uint16_t kX87Top = 0x3800;
constexpr std::uint32_t kSseFlags = 0x003F;

// What a caller can see of the floating-point environment. The x87 condition
// codes (C0 to C3) are left out: every comparison sets them, and they carry
// nothing from one statement to the next. So are the last instruction's and
// operand's addresses and opcode that fegetenv also stores: they change with
// any x87 instruction and are no setting.
struct Environment {
  std::uint16_t control;
  std::uint16_t status;  // flags, stack fault, summary, stack top
  std::uint16_t tags;
  std::uint32_t mxcsr;
  int raised;  // fetestexcept(FE_ALL_EXCEPT | __FE_DENORM)

  bool operator==(const Environment&) const = default;

  std::string Describe() const {
    char text[128];
    std::snprintf(text, sizeof text,
                  "x87 control %04x status %04x tags %04x, mxcsr %08x, fetestexcept %02x", control,
                  status, tags, mxcsr, raised);
    return text;
  }
};

Environment Read() {
  std::fenv_t env;
  std::fegetenv(&env);
  return {env.__control_word,
          static_cast<std::uint16_t>(env.__status_word &
                                     (kX87Flags | kX87StackFault | kX87Summary | kX87Top)),
          env.__tags, env.__mxcsr, std::fetestexcept(FE_ALL_EXCEPT | __FE_DENORM)};
}

// Loads the settings the input asks for. A flag is raised only where it is not
// trapped: a pending trapped flag would fault at the next x87 instruction, in
// the caller as much as in the conversion.
void Load(std::uint8_t x87, std::uint8_t sse, std::uint8_t flags) {
  static constexpr std::uint16_t kPrecision[4] = {0x0300, 0x0200, 0x0000, 0x0300};
  std::uint16_t control = 0x037F;  // the platform's default: all masked, 64-bit, nearest
  control = (control & ~0x0C00) | static_cast<std::uint16_t>((x87 & 3) << 10);
  control = (control & ~0x0300) | kPrecision[(x87 >> 2) & 3];
  if (x87 & 0x10) control &= ~0x000D;  // invalid, division by zero, overflow
  if (x87 & 0x20) control &= ~0x003F;
  std::uint16_t x87_flags = 0;
  if (x87 & 0x40) x87_flags = flags & kX87Flags & (control & 0x3F);

  std::uint32_t mxcsr = 0x1F80;  // the default: all masked, nearest, no FTZ/DAZ
  mxcsr |= static_cast<std::uint32_t>(sse & 3) << 13;
  if (sse & 0x04) mxcsr |= 0x8000;
  if (sse & 0x08) mxcsr |= 0x0040;
  if (sse & 0x10) mxcsr &= ~(0x0D << 7);
  if (sse & 0x20) mxcsr |= flags & kSseFlags & ((mxcsr >> 7) & 0x3F);

  std::fesetenv(FE_DFL_ENV);
  // fnstenv's image in 64-bit mode: control, status, tags, each in a 32-bit slot.
  std::uint32_t image[7];
  __asm__ volatile("fnstenv %0" : "=m"(image));
  image[0] = (image[0] & 0xFFFF0000u) | control;
  image[1] = (image[1] & 0xFFFF0000u) | x87_flags;
  __asm__ volatile("fldenv %0" : : "m"(image));
  __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t x87 = size > 0 ? data[0] : 0;
  const std::uint8_t sse = size > 1 ? data[1] : 0;
  const std::uint8_t flags = size > 2 ? data[2] : 0;
  const std::string text = size > 3 ? std::string(reinterpret_cast<const char*>(data) + 3, size - 3)
                                    : std::string();
  const char separator = (x87 & 0x80) ? ',' : '.';
  DecimalSeparator = separator;

  // Nothing but the conversion runs between loading the settings and reading
  // them back; the checks run under the default settings.
  std::optional<Extended> value;
  std::string message;
  const char* other = nullptr;
  Load(x87, sse, flags);
  const Environment before = Read();
  try {
    value = StrToFloat(text);
  } catch (const EConvertError& e) {
    if (typeid(e) != typeid(EConvertError)) other = typeid(e).name();
    message = e.Message;
  } catch (const std::exception& e) {
    other = typeid(e).name();
  } catch (const Exception& e) {
    other = typeid(e).name();
  } catch (...) {
    other = "(an unknown type)";
  }
  const Environment after = Read();
  std::fesetenv(FE_DFL_ENV);

  char settings[32];
  std::snprintf(settings, sizeof settings, "settings %02x %02x %02x", x87, sse, flags);
  const std::string where = "text " + Printable(text) + ", separator '" + separator + "', " +
                            settings;
  if (other) Fail(where + ": threw " + other);
  if (!(after == before)) {
    Fail(where + ": the floating-point environment changed\n  before " + before.Describe() +
         "\n  after  " + after.Describe());
  }
  if (DecimalSeparator != separator) Fail(where + ": DecimalSeparator changed");

  const std::optional<long double> expected = ReferenceStrToFloat(text, separator);
  if (expected) {
    if (!value) Fail(where + ": rejected a valid text with " + Printable(message));
    if (!(ImageOf(*value) == ImageOf(*expected))) {
      Fail(where + ": value " + ImageOf(*value).Describe() + ", the reference's " +
           ImageOf(*expected).Describe());
    }
  } else {
    if (value) Fail(where + ": accepted an invalid text as " + ImageOf(*value).Describe());
    const std::string wanted = "'" + text + "' is not a valid floating point value";
    if (message != wanted) Fail(where + ": message " + Printable(message));
  }
  return 0;
}
