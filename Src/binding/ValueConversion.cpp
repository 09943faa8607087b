#include "binding/ValueConversion.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

#include "binding/MyUtils.h"

namespace {

std::optional<std::int64_t> ParseInteger(const std::string& Text, std::int64_t Min,
                                         std::int64_t Max) {
  const std::string trimmed = TrimLeft(Text);
  std::string_view digits = trimmed;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.starts_with('$')) {
    base = 16;
    digits.remove_prefix(1);
  } else if (digits.starts_with("0x") || digits.starts_with("0X")) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty()) return std::nullopt;
  // The magnitude is read unsigned so that the most negative value stays representable.
  std::uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  const std::uint64_t limit =
      negative ? static_cast<std::uint64_t>(-(Min + 1)) + 1 : static_cast<std::uint64_t>(Max);
  if (magnitude > limit) return std::nullopt;
  if (!negative) return static_cast<std::int64_t>(magnitude);
  return magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1;
}

std::optional<double> ParseFloat(const std::string& Text) {
  const std::string trimmed = Trim(Text);
  std::string_view number = trimmed;
  if (number.starts_with('+')) number.remove_prefix(1);
  if (number.empty()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

[[noreturn]] void RaiseIntegerError(const std::string& Text) {
  throw EConvertError("'" + Text + "' is not a valid integer value");
}

[[noreturn]] void RaiseFloatError(const std::string& Text) {
  throw EConvertError("'" + Text + "' is not a valid floating point value");
}

}  // namespace

int StrToInt(const std::string& Text) {
  const auto value =
      ParseInteger(Text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  if (!value) RaiseIntegerError(Text);
  return static_cast<int>(*value);
}

std::int64_t StrToInt64(const std::string& Text) {
  const auto value = ParseInteger(Text, std::numeric_limits<std::int64_t>::min(),
                                  std::numeric_limits<std::int64_t>::max());
  if (!value) RaiseIntegerError(Text);
  return *value;
}

double StrToFloat(const std::string& Text) {
  const auto value = ParseFloat(Text);
  if (!value) RaiseFloatError(Text);
  return *value;
}

float StrToSingle(const std::string& Text) {
  const double value = StrToFloat(Text);
  if (std::fabs(value) > std::numeric_limits<float>::max()) RaiseFloatError(Text);
  return static_cast<float>(value);
}

int StrToIntDef(const std::string& Text, int Default) {
  const auto value =
      ParseInteger(Text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  return value ? static_cast<int>(*value) : Default;
}

double StrToFloatDef(const std::string& Text, double Default) {
  return ParseFloat(Text).value_or(Default);
}

std::string TrimText(const std::string& Text) {
  return Trim(Text, kBlanksAndLineBreaks);
}
