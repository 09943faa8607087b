#include "frontend/IniFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>

#include "ConfigHomeSupport.h"

namespace {

using Strings = std::vector<std::string>;

// Runs attempt in a child process without root's right to write anywhere; its exit code.
int RunUnprivileged(const std::function<int()>& attempt) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
    ::_exit(attempt());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

TEST(IniFileTest, ReadsSectionsKeysAndValuesAsWritten) {
  TTempFolder folder;
  const std::string path = folder.File("sample.ini");
  WriteTextFile(path,
                "; comment\r\n"
                "[Zeta]\r\n"
                "Video Codec = MPEG-4 Part 2 \r\n"
                "Path=C:\\My Video Files\\\r\n"
                "Quoted=\"  two blanks  \"\r\n"
                "[ Alpha profile ]\r\n"
                "a=1\r\n"
                "[Mid]dle]\r\n"
                "[zeta]\r\n"
                "later=ignored\r\n");
  const TIniFile file(path);
  EXPECT_EQ(file.ReadSections(), (Strings{"Zeta", " Alpha profile ", "Mid]dle"}));
  EXPECT_EQ(file.ReadSection("ZETA"), (Strings{"Video Codec", "Path", "Quoted"}));
  EXPECT_EQ(file.ReadString("zeta", "video codec", "Auto"), "MPEG-4 Part 2");
  EXPECT_EQ(file.ReadString("Zeta", "Path", ""), "C:\\My Video Files\\");
  EXPECT_EQ(file.ReadString("Zeta", "Quoted", ""), "  two blanks  ");
  EXPECT_EQ(file.ReadString(" Alpha profile ", "a", ""), "1");
  EXPECT_EQ(file.ReadString("Alpha profile", "a", "missing"), "missing");
  EXPECT_EQ(file.ReadString("Zeta", "later", "missing"), "missing");
  EXPECT_TRUE(file.SectionExists("Mid]dle"));
}

TEST(IniFileTest, MissingFileReadsDefaults) {
  TTempFolder folder;
  const TIniFile file(folder.File("absent/none.ini"));
  EXPECT_TRUE(file.ReadSections().empty());
  EXPECT_EQ(file.ReadString("S", "K", "dflt"), "dflt");
  EXPECT_EQ(file.ReadInteger("S", "K", 7), 7);
  EXPECT_TRUE(file.ReadBool("S", "K", true));
}

TEST(IniFileTest, NumbersThatDoNotParseReadAsTheDefault) {
  TTempFolder folder;
  const std::string path = folder.File("n.ini");
  WriteTextFile(path,
                "[N]\nplain=42\nsigned=-3\nplus=+5\nblank=\nword=yes\ntail=12a\nhuge=99999999999\n"
                "fraction=1.5\nzero=0\nseven=7\n");
  const TIniFile file(path);
  EXPECT_EQ(file.ReadInteger("N", "plain", -1), 42);
  EXPECT_EQ(file.ReadInteger("N", "signed", -1), -3);
  EXPECT_EQ(file.ReadInteger("N", "plus", -1), 5);
  for (const char* key : {"blank", "word", "tail", "huge", "fraction"}) {
    EXPECT_EQ(file.ReadInteger("N", key, -1), -1) << key;
    EXPECT_FALSE(file.ReadBool("N", key, false)) << key;
    EXPECT_TRUE(file.ReadBool("N", key, true)) << key;
  }
  EXPECT_FALSE(file.ReadBool("N", "zero", true));
  EXPECT_TRUE(file.ReadBool("N", "seven", false));
}

TEST(IniFileTest, WritesKeepEverythingElseAsItWas) {
  TTempFolder folder;
  const std::string path = folder.File("w.ini");
  WriteTextFile(path, "; keep me\r\n[B]\r\nx = 1\r\ny=2\r\n\r\n[A]\r\nz=3\r\n");
  TIniFile file(path);
  file.WriteString("B", "y", "20");
  file.WriteString("b", "new key", " padded ");
  file.WriteString("C", "k", "\"quoted\"");
  file.WriteBool("A", "flag", true);
  file.Save();
  EXPECT_EQ(
      ReadTextFile(path),
      "; keep me\r\n[B]\r\nx = 1\r\ny=20\r\nnew key=\" padded \"\r\n\r\n[A]\r\nz=3\r\nflag=1\r\n"
      "\r\n[C]\r\nk=\"\"quoted\"\"\r\n");
  const TIniFile again(path);
  EXPECT_EQ(again.ReadString("B", "new key", ""), " padded ");
  EXPECT_EQ(again.ReadString("C", "k", ""), "\"quoted\"");
}

TEST(IniFileTest, EraseSectionAndDeleteKeyTouchOnlyTheirLines) {
  TTempFolder folder;
  const std::string path = folder.File("e.ini");
  WriteTextFile(path, "[One]\na=1\nb=2\n\n[Two]\nc=3\n\n[Three]\nd=4\n");
  TIniFile file(path);
  file.EraseSection("two");
  file.DeleteKey("One", "A");
  file.EraseSection("absent");
  file.Save();
  EXPECT_EQ(ReadTextFile(path), "[One]\nb=2\n\n[Three]\nd=4\n");
}

TEST(IniFileTest, UnchangedFileIsNotWritten) {
  TTempFolder folder;
  const std::string path = folder.File("never.ini");
  TIniFile file(path);
  file.EraseSection("absent");
  file.Save();
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(IniFileTest, NamesAndValuesWithLineBreaksAreRefused) {
  TTempFolder folder;
  TIniFile file(folder.File("r.ini"));
  EXPECT_THROW(file.WriteString("two\nlines", "k", "v"), EIniFileError);
  EXPECT_THROW(file.WriteString("S", "k=v", "v"), EIniFileError);
  EXPECT_THROW(file.WriteString("S", "[k", "v"), EIniFileError);
  EXPECT_THROW(file.WriteString("S", "k", "a\r\nb"), EIniFileError);
  file.Save();
  EXPECT_FALSE(std::filesystem::exists(file.FileName()));
}

TEST(IniFileTest, WriteIntoMissingFolderIsRefusedWithThePath) {
  TTempFolder folder;
  const std::string path = folder.File("no folder/x.ini");
  TIniFile file(path);
  file.WriteString("S", "k", "v");
  try {
    file.Save();
    FAIL() << "no error";
  } catch (const EIniFileError& error) {
    EXPECT_STREQ(error.what(),
                 ("Unable to write to " + path + ": No such file or directory").c_str());
  }
  EXPECT_FALSE(std::filesystem::exists(folder.File("no folder")));
}

TEST(IniFileTest, RefusedWriteInReadOnlyFolderLeavesFileAsItWas) {
  TTempFolder folder;
  const std::filesystem::path locked = folder.Path() / "locked";
  std::filesystem::create_directories(locked);
  const std::string path = (locked / "p.ini").string();
  WriteTextFile(path, "[P]\nk=old\n");
  ::chmod(locked.c_str(), 0555);
  const int outcome = RunUnprivileged([&] {
    TIniFile file(path);
    file.WriteString("P", "k", "new");
    try {
      file.Save();
    } catch (const EIniFileError& error) {
      return std::string(error.what()) == "Unable to write to " + path + ": Permission denied" ? 0
                                                                                               : 2;
    }
    return 1;
  });
  ::chmod(locked.c_str(), 0755);
  EXPECT_EQ(outcome, 0);
  EXPECT_EQ(ReadTextFile(path), "[P]\nk=old\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(locked), {}), 1);
}

TEST(IniFileTest, WriteFailingMidwayLeavesFileAsItWas) {
  TTempFolder folder;
  const std::string path = folder.File("full.ini");
  WriteTextFile(path, "[P]\nk=old\n");
  TIniFile file(path);
  file.WriteString("P", "k", "new");
  // A file size limit of zero makes every write fail, even for root, like a full disk.
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit none = old;
  none.rlim_cur = 0;
  ::setrlimit(RLIMIT_FSIZE, &none);
  EXPECT_THROW(file.Save(), EIniFileError);
  ::setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(ReadTextFile(path), "[P]\nk=old\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(IniFileTest, SaveKeepsFileModeAndWritesThroughLinks) {
  TTempFolder folder;
  const std::string target = folder.File("real.ini");
  const std::string link = folder.File("link.ini");
  WriteTextFile(target, "[P]\nk=old\n");
  ::chmod(target.c_str(), 0600);
  std::filesystem::create_symlink(target, link);
  TIniFile file(link);
  file.WriteString("P", "k", "new");
  file.Save();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadTextFile(target), "[P]\nk=new\n");
  struct stat info {};
  ::stat(target.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// What a file that reaches the reader by accident or by hand reads as: understood (no
// problem) or reported with its line number; never a crash.
TEST(IniFileTest, OddFilesAreUnderstoodOrReportedWithTheirLine) {
  TTempFolder folder;
  const auto read = [&](const std::string& text) {
    const std::string path = folder.File("odd.ini");
    WriteTextFile(path, text);
    return TIniFile(path);
  };
  const std::string longValue(1 << 20, 'v');
  const TIniFile longLine = read("[S]\nk=" + longValue + "\n");
  EXPECT_EQ(longLine.ReadProblem(), "");
  EXPECT_EQ(longLine.ReadString("S", "k", ""), longValue);

  const TIniFile bracket = read("[Mid]dle]\nk=1\n");
  EXPECT_EQ(bracket.ReadProblem(), "");
  EXPECT_EQ(bracket.ReadString("Mid]dle", "k", ""), "1");

  // Byte order mark with CR LF, and the CR alone of old Macintosh files.
  for (const std::string& text :
       {std::string("\xEF\xBB\xBF[S]\r\nk=1\r\nempty=\r\n"), std::string("[S]\rk=1\rempty=\r")}) {
    const TIniFile file = read(text);
    EXPECT_EQ(file.ReadProblem(), "");
    EXPECT_EQ(file.ReadSections(), Strings{"S"});
    EXPECT_EQ(file.ReadString("S", "k", ""), "1");
    EXPECT_EQ(file.ReadString("S", "empty", "default"), "");  // a key without a value
  }

  // Duplicates: the first section of a name and the first line of a key win.
  const TIniFile twice = read("[S]\nk=first\nk=second\n[T]\n[s]\nk=third\nonly=later\n");
  EXPECT_EQ(twice.ReadProblem(), "");
  EXPECT_EQ(twice.ReadSections(), (Strings{"S", "T"}));
  EXPECT_EQ(twice.ReadString("S", "k", ""), "first");
  EXPECT_EQ(twice.ReadString("S", "only", "missing"), "missing");

  const std::pair<std::string, std::string> damaged[] = {
      {"[S]\n=\n", "line 2: a value without a key name"},
      {"[S]\nk=1\nVideoBitrate 800\n", "line 3: neither a [section] nor a key=value line"},
      {"k=1\n[S]\n", "line 1: a key before the first [section]"},
      {"[S\nk=1\n", "line 1: a section line without its closing \"]\""},
      {"[S]\r\nk=1\x01\r\n", "line 2: a control character, which no text line holds"},
  };
  for (const auto& [text, where] : damaged) {
    EXPECT_EQ(read(text).ReadProblem(), "not a settings file (" + where + ")") << text;
  }

  // Bytes of no text format: reported, and every listed name still reads.
  std::string noise;
  std::uint32_t state = 20;
  for (int i = 0; i < 4096; ++i) {
    state = state * 1664525u + 1013904223u;
    noise += static_cast<char>(state >> 24);
  }
  const TIniFile random = read(noise);
  EXPECT_TRUE(random.ReadProblem().starts_with("not a settings file (line "))
      << random.ReadProblem();
  for (const std::string& section : random.ReadSections()) {
    for (const std::string& key : random.ReadSection(section)) random.ReadString(section, key, "");
  }
}

TEST(IniFileTest, FilesThatCannotBeReadSayWhyAndAreNeverReplaced) {
  TTempFolder folder;
  const std::string loop = folder.File("loop.ini");
  std::filesystem::create_symlink(loop, loop);
  const TIniFile looped(loop);
  EXPECT_FALSE(looped.Missing());
  EXPECT_EQ(looped.ReadProblem(), "Too many levels of symbolic links");

  // A named pipe would hold a blocking read for ever.
  const std::string pipe = folder.File("pipe.ini");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(TIniFile(pipe).ReadProblem(), "not a regular file");
  EXPECT_EQ(TIniFile(folder.Path().string()).ReadProblem(), "not a regular file");

  const TIniFile missing(folder.File("none.ini"));
  EXPECT_TRUE(missing.Missing());
  EXPECT_EQ(missing.ReadProblem(), "");

  const std::string locked = folder.File("locked.ini");
  WriteTextFile(locked, "[P]\nk=old\n");
  ::chmod(locked.c_str(), 0200);  // writable, not readable
  ::chmod(folder.Path().c_str(), 0777);
  const int outcome = RunUnprivileged([&] {
    TIniFile file(locked);
    if (file.ReadProblem() != "Permission denied") return 2;
    file.WriteString("P", "other", "new");
    try {
      file.Save();
    } catch (const EIniFileError& error) {
      return std::string(error.what()) ==
                     "Unable to write to " + locked + ": it could not be read (Permission denied)"
                 ? 0
                 : 3;
    }
    return 1;
  });
  ::chmod(folder.Path().c_str(), 0700);
  EXPECT_EQ(outcome, 0);
  EXPECT_EQ(ReadTextFile(locked), "[P]\nk=old\n");
}

}  // namespace
