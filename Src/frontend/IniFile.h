// An INI file of the ordinary text format, read and written without losing anything that
// a write did not touch: section order, key order, comments, spacing and line endings.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// A write the system refuses, a name the format cannot hold, or a settings file that cannot
// be read. The file is left as it was.
class EIniFileError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One INI file, read whole when constructed and written back whole by Save. Section and
// key names compare without regard to ASCII case; section names keep their blanks.
// Values are read with surrounding blanks removed and one pair of enclosing quotes taken
// off; values that would lose something that way are written quoted, so every value reads
// back exactly as it was written.
//
// Lines end with LF, CR LF or, in a file without any LF, a lone CR; a UTF-8 byte order mark
// is skipped and kept. When a section name occurs more than once, the first section of
// that name is the one read and written; within a section the first line of a key is.
class TIniFile {
 public:
  // A missing or unreadable file reads as an empty one; ReadProblem() tells why.
  explicit TIniFile(std::string path);

  const std::string& FileName() const { return path_; }

  // The file does not exist (or a folder of its path does not).
  bool Missing() const { return missing_; }
  // Empty when the file was read and every line is understood (or when it is missing).
  // Otherwise why it was not: the system's reason ("Permission denied", "Too many levels of
  // symbolic links"), or "not a settings file (line N: ...)" for the first line that is
  // neither blank, a comment, a "[section]" nor a "key=value" inside a section.
  const std::string& ReadProblem() const { return readProblem_; }

  // Section names in file order; a name that appears again later is listed once.
  std::vector<std::string> ReadSections() const;
  // Key names of the section in file order.
  std::vector<std::string> ReadSection(const std::string& section) const;
  bool SectionExists(const std::string& section) const;

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // The default when the value is missing or not a decimal integer of 32 bits.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
  // Stored as an integer: 0 is false, any other integer true, anything else the default.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

  // Writes change the text held here; Save puts it on disk. A key is replaced where it
  // stands or added at the end of its section; a new section goes at the end of the file.
  // Names or values holding a line break throw EIniFileError.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteBool(const std::string& section, const std::string& key, bool value);
  void DeleteKey(const std::string& section, const std::string& key);
  void EraseSection(const std::string& section);

  // Replaces the file in one step when something was changed since it was read. A refused
  // write (missing folder, no write access) throws EIniFileError "Unable to write to <path>"
  // with the system's reason after it, and leaves the file as it was. A file that existed
  // but could not be read is never replaced: its content was not seen.
  void Save();
  // Writes the text to another path the same way, changed or not.
  void SaveAs(const std::string& path) const;

 private:
  struct TSectionRange {
    std::size_t header;  // index of the "[name]" line
    std::size_t end;     // one past the section's last line
  };

  bool FindSection(const std::string& section, TSectionRange& range) const;
  // Index of the key's line inside the range, or range.end.
  std::size_t FindKey(const TSectionRange& range, const std::string& key) const;
  bool FindValue(const std::string& section, const std::string& key, std::string& value) const;
  std::string Text() const;
  void ReadFile();
  void SplitLines(const std::string& text);
  void CheckLines();

  std::string path_;
  std::vector<std::string> lines_;
  std::string lineBreak_ = "\n";
  bool byteOrderMark_ = false;
  bool modified_ = false;
  bool missing_ = false;
  bool unread_ = false;  // it exists, but its content could not be read
  std::string readProblem_;
};
