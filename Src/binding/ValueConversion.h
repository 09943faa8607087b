// The runtime's text-to-number conversions used by the option vocabulary, with the
// runtime's own error texts, and the error of a failed assertion-style check.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A value that is not a valid number ("'%s' is not a valid integer value").
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A check that the option vocabulary makes in assertion style ("... must be 4 chars").
class EAssertionFailed : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Decimal integers with optional leading blanks and sign; "$" or "0x" introduce hexadecimal
// digits. Anything else, or a value out of range, raises EConvertError with
// "'%s' is not a valid integer value".
int StrToInt(const std::string& Text);
std::int64_t StrToInt64(const std::string& Text);

// Decimal floating-point numbers with optional blanks around them and an exponent; the
// decimal separator is always ".". Raises EConvertError with
// "'%s' is not a valid floating point value". StrToSingle also refuses values that do not
// fit a 32-bit float.
double StrToFloat(const std::string& Text);
float StrToSingle(const std::string& Text);

// Text without the blanks and line breaks around it.
std::string TrimText(const std::string& Text);

// The same conversions answering Default instead of raising.
int StrToIntDef(const std::string& Text, int Default);
double StrToFloatDef(const std::string& Text, double Default);
