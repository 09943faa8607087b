#include "frontend/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "binding/MyUtils.h"

namespace {

const std::string kByteOrderMark = "\xEF\xBB\xBF";
// Settings files are a few kB; anything this large is something else.
constexpr off_t kLargestFile = 16 * 1024 * 1024;

// The section name of a "[name]" line; false for every other line. A name runs to the
// closing bracket that ends the line, so names may hold "]" themselves.
bool ParseSectionLine(const std::string& line, std::string& name) {
  const std::string text = Trim(line);
  if (text.empty() || text.front() != '[') return false;
  if (text.size() >= 2 && text.back() == ']') {
    name = text.substr(1, text.size() - 2);
  } else {
    const std::size_t close = text.find(']');
    name = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  return true;
}

// Key and raw value of a "key=value" line; false for blank, comment and section lines.
bool ParseKeyLine(const std::string& line, std::string& key, std::string& rawValue) {
  const std::string text = TrimLeft(line);
  if (text.empty() || text.front() == ';' || text.front() == '#' || text.front() == '[') {
    return false;
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) return false;
  key = TrimRight(text.substr(0, equals));
  rawValue = text.substr(equals + 1);
  return true;
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

std::string DecodeValue(const std::string& rawValue) {
  std::string value = Trim(rawValue);
  if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

std::string EncodeValue(const std::string& value) {
  if (value.empty()) return value;
  const bool blankAtEdge = kBlanks.find(value.front()) != std::string_view::npos ||
                           kBlanks.find(value.back()) != std::string_view::npos;
  const bool looksQuoted =
      value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
  return blankAtEdge || looksQuoted ? '"' + value + '"' : value;
}

bool HoldsLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos || text.find('\0') != std::string::npos;
}

void CheckSectionName(const std::string& section, const std::string& path) {
  if (HoldsLineBreak(section)) {
    throw EIniFileError("The section name \"" + section + "\" cannot be stored in " + path);
  }
}

void CheckKeyName(const std::string& key, const std::string& path) {
  const bool storable = !key.empty() && key == Trim(key) && !HoldsLineBreak(key) &&
                        key.find('=') == std::string::npos && key.front() != ';' &&
                        key.front() != '#' && key.front() != '[';
  if (!storable) throw EIniFileError("The key name \"" + key + "\" cannot be stored in " + path);
}

bool ParseInteger(const std::string& text, int& value) {
  std::string digits = Trim(text);
  if (!digits.empty() && digits.front() == '+') digits.erase(0, 1);
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  return !digits.empty() && error == std::errc() && stop == end;
}

// Writes text into a fresh file beside target and renames it over target, so the target
// either keeps its old content or gets all of the new one. 0, or the errno of the refusal.
int ReplaceFile(const std::string& target, const std::string& text) {
  std::filesystem::path destination = target;
  struct stat link {};
  if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    std::error_code error;
    destination = std::filesystem::canonical(destination, error);
    if (error) return error.value();
  }
  if (destination.empty()) return ENOENT;

  struct stat existing {};
  const bool exists = ::stat(destination.c_str(), &existing) == 0;
  if (exists && ::access(destination.c_str(), W_OK) != 0) return errno;

  std::string temporary = destination.string() + ".XXXXXX";
  const int descriptor = ::mkstemp(temporary.data());
  if (descriptor < 0) return errno;
  int failure = ::fchmod(descriptor, exists ? existing.st_mode & 07777 : 0644) == 0 ? 0 : errno;
  for (std::size_t done = 0; failure == 0 && done < text.size();) {
    const ssize_t count = ::write(descriptor, text.data() + done, text.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) failure = count < 0 ? errno : EIO;
    if (count > 0) done += static_cast<std::size_t>(count);
  }
  if (::fsync(descriptor) != 0 && failure == 0) failure = errno;
  if (::close(descriptor) != 0 && failure == 0) failure = errno;
  if (failure == 0 && ::rename(temporary.c_str(), destination.c_str()) == 0) return 0;
  if (failure == 0) failure = errno;
  ::unlink(temporary.c_str());
  return failure;
}

}  // namespace

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {
  ReadFile();
  CheckLines();
}

void TIniFile::ReadFile() {
  if (path_.empty()) {
    missing_ = true;
    return;
  }
  // Not blocking: a named pipe in the file's place must not wait for a writer.
  const int descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) {
    missing_ = errno == ENOENT || errno == ENOTDIR;
    if (!missing_) {
      unread_ = true;
      readProblem_ = std::strerror(errno);
    }
    return;
  }
  std::string text;
  struct stat info {};
  if (::fstat(descriptor, &info) != 0) {
    readProblem_ = std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    readProblem_ = "not a regular file";
  } else if (info.st_size > kLargestFile) {
    readProblem_ = "not a settings file (larger than " + std::to_string(kLargestFile) + " bytes)";
  } else {
    char buffer[65536];
    for (;;) {
      const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
      if (count < 0 && errno == EINTR) continue;
      if (count < 0) readProblem_ = std::strerror(errno);
      if (count <= 0) break;
      text.append(buffer, static_cast<std::size_t>(count));
      if (text.size() > static_cast<std::size_t>(kLargestFile)) {
        readProblem_ =
            "not a settings file (larger than " + std::to_string(kLargestFile) + " bytes)";
        break;
      }
    }
  }
  ::close(descriptor);
  if (!readProblem_.empty()) {
    unread_ = true;
    return;
  }
  if (text.starts_with(kByteOrderMark)) {
    byteOrderMark_ = true;
    text.erase(0, kByteOrderMark.size());
  }
  SplitLines(text);
}

void TIniFile::SplitLines(const std::string& text) {
  // A file without any LF but with CRs comes from a system that ends lines with CR alone.
  const bool carriageReturnsOnly =
      text.find('\n') == std::string::npos && text.find('\r') != std::string::npos;
  const char separator = carriageReturnsOnly ? '\r' : '\n';
  if (carriageReturnsOnly) {
    lineBreak_ = "\r";
  } else {
    const std::size_t firstBreak = text.find('\n');
    if (firstBreak != std::string::npos && firstBreak > 0 && text[firstBreak - 1] == '\r') {
      lineBreak_ = "\r\n";
    }
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    // Every carriage return at a line's end goes, not only that of a "\r\n": no value ends
    // in one (writes refuse them), and a line kept with one would read differently once
    // saved with the file's own line break.
    while (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(std::move(line));
    start = end + 1;
  }
}

void TIniFile::CheckLines() {
  bool inSection = false;
  std::string name;
  std::string rawValue;
  for (std::size_t i = 0; i < lines_.size() && readProblem_.empty(); ++i) {
    const std::string& line = lines_[i];
    const std::string text = Trim(line);
    std::string what;
    if (std::any_of(line.begin(), line.end(),
                    [](char c) { return static_cast<unsigned char>(c) < ' ' && c != '\t'; })) {
      what = "a control character, which no text line holds";
    } else if (text.empty() || text.front() == ';' || text.front() == '#') {
      continue;
    } else if (text.front() == '[') {
      if (text.back() != ']') what = "a section line without its closing \"]\"";
      inSection = true;
    } else if (!ParseKeyLine(line, name, rawValue)) {
      what = "neither a [section] nor a key=value line";
    } else if (name.empty()) {
      what = "a value without a key name";
    } else if (!inSection) {
      what = "a key before the first [section]";
    }
    if (!what.empty()) {
      readProblem_ = "not a settings file (line " + std::to_string(i + 1) + ": " + what + ")";
    }
  }
}

bool TIniFile::FindSection(const std::string& section, TSectionRange& range) const {
  std::string name;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (!ParseSectionLine(lines_[i], name) || !SameText(name, section)) continue;
    range.header = i;
    range.end = i + 1;
    while (range.end < lines_.size() && !ParseSectionLine(lines_[range.end], name)) ++range.end;
    return true;
  }
  return false;
}

std::size_t TIniFile::FindKey(const TSectionRange& range, const std::string& key) const {
  std::string name;
  std::string rawValue;
  for (std::size_t i = range.header + 1; i < range.end; ++i) {
    if (ParseKeyLine(lines_[i], name, rawValue) && SameText(name, key)) return i;
  }
  return range.end;
}

bool TIniFile::FindValue(const std::string& section, const std::string& key,
                         std::string& value) const {
  TSectionRange range{};
  if (!FindSection(section, range)) return false;
  const std::size_t line = FindKey(range, key);
  std::string name;
  std::string rawValue;
  if (line == range.end || !ParseKeyLine(lines_[line], name, rawValue)) return false;
  value = DecodeValue(rawValue);
  return true;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  std::string name;
  for (const std::string& line : lines_) {
    if (!ParseSectionLine(line, name)) continue;
    const bool seen = std::any_of(names.begin(), names.end(),
                                  [&](const std::string& known) { return SameText(known, name); });
    if (!seen) names.push_back(name);
  }
  return names;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> keys;
  TSectionRange range{};
  if (!FindSection(section, range)) return keys;
  std::string name;
  std::string rawValue;
  for (std::size_t i = range.header + 1; i < range.end; ++i) {
    if (ParseKeyLine(lines_[i], name, rawValue)) keys.push_back(name);
  }
  return keys;
}

bool TIniFile::SectionExists(const std::string& section) const {
  TSectionRange range{};
  return FindSection(section, range);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  std::string value;
  return FindValue(section, key, value) ? value : defaultValue;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key,
                          int defaultValue) const {
  std::string text;
  int value = 0;
  return FindValue(section, key, text) && ParseInteger(text, value) ? value : defaultValue;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  CheckSectionName(section, path_);
  CheckKeyName(key, path_);
  if (HoldsLineBreak(value)) {
    throw EIniFileError("The value of \"" + key + "\" cannot be stored in " + path_);
  }
  const std::string line = key + "=" + EncodeValue(value);
  TSectionRange range{};
  if (!FindSection(section, range)) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + section + "]");
    lines_.push_back(line);
  } else if (const std::size_t existing = FindKey(range, key); existing != range.end) {
    lines_[existing] = line;
  } else {
    // After the section's last non-blank line, so blank lines between sections stay.
    std::size_t insertAt = range.end;
    while (insertAt > range.header + 1 && Trim(lines_[insertAt - 1]).empty()) --insertAt;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), line);
  }
  modified_ = true;
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  TSectionRange range{};
  if (!FindSection(section, range)) return;
  const std::size_t line = FindKey(range, key);
  if (line == range.end) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
  modified_ = true;
}

void TIniFile::EraseSection(const std::string& section) {
  TSectionRange range{};
  if (!FindSection(section, range)) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range.header),
               lines_.begin() + static_cast<std::ptrdiff_t>(range.end));
  modified_ = true;
}

std::string TIniFile::Text() const {
  std::string text = byteOrderMark_ ? kByteOrderMark : std::string();
  for (const std::string& line : lines_) text += line + lineBreak_;
  return text;
}

void TIniFile::Save() {
  if (!modified_) return;
  if (unread_) {
    throw EIniFileError("Unable to write to " + path_ + ": it could not be read (" + readProblem_ +
                        ")");
  }
  SaveAs(path_);
  modified_ = false;
}

void TIniFile::SaveAs(const std::string& path) const {
  if (const int failure = ReplaceFile(path, Text()); failure != 0) {
    throw EIniFileError("Unable to write to " + path + ": " + std::strerror(failure));
  }
}
