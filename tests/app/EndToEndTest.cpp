// The real program under a virtual X server, driven by synthetic keys as a user drives it:
// files added through the Add dialog, converted with Enter, outputs decoded. Skipped where
// Xvfb or xdotool is missing.
#include <QProcess>
#include <QStandardPaths>
#include <filesystem>
#include <string>

#include "WindowTestSupport.h"
#include "binding/MyUtils.h"

namespace {

namespace fs = std::filesystem;

class EndToEndTest : public TWindowTest {
 protected:
  void TearDown() override {
    for (QProcess* process : {&program_, &server_}) {
      process->terminate();
      if (!process->waitForFinished(5000)) process->kill();
      process->waitForFinished(5000);
    }
  }

  // Starts the X server on a free display; false when it does not come up.
  bool StartServer() {
    server_.start(xvfb_, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    if (!server_.waitForStarted(5000)) return false;
    while (display_.isEmpty() && server_.waitForReadyRead(10000)) {
      display_ = ":" + QString::fromLatin1(server_.readAllStandardOutput()).trimmed();
    }
    return !display_.isEmpty() && display_ != ":";
  }

  QProcessEnvironment Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display_);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(home_.Folder().Path().string()));
    return environment;
  }

  // Runs xdotool with arguments; its output, or a failure of the test.
  QString Xdotool(const QStringList& arguments, int milliseconds = 20000) {
    QProcess tool;
    tool.setProcessEnvironment(Environment());
    tool.start(xdotool_, arguments);
    if (!tool.waitForFinished(milliseconds)) {
      tool.kill();
      tool.waitForFinished();
      ADD_FAILURE() << "xdotool " << arguments.join(' ').toStdString() << " did not finish";
      return {};
    }
    return QString::fromLatin1(tool.readAllStandardOutput()).trimmed();
  }

  // Waits for a window of this title and gives it the keyboard.
  QString FocusWindow(const QString& title) {
    const QString window =
        Xdotool({"search", "--sync", "--name", "^" + title + "$"}).section('\n', 0, 0);
    if (!window.isEmpty()) Xdotool({"windowfocus", "--sync", window});
    return window;
  }

  const QString xvfb_ = QStandardPaths::findExecutable("Xvfb");
  const QString xdotool_ = QStandardPaths::findExecutable("xdotool");
  QProcess server_;
  QProcess program_;
  QString display_;
};

TEST_F(EndToEndTest, FilesAddedThroughTheDialogAreConvertedWithEnter) {
  if (xvfb_.isEmpty() || xdotool_.isEmpty()) GTEST_SKIP() << "Xvfb or xdotool is missing";
  const QString program = QString::fromStdString(ExecutableFolder() + "tovrena");
  ASSERT_TRUE(fs::exists(program.toStdString()));
  const std::string first = Clip("clips/first.avi", 20);
  const std::string second = Clip("clips/second.avi", 30);
  ASSERT_TRUE(StartServer());

  program_.setProcessEnvironment(Environment());
  // The Add dialog opens in the program's folder before any file was added.
  program_.setWorkingDirectory(QString::fromStdString(media_.File("clips")));
  program_.start(program, {});
  ASSERT_TRUE(program_.waitForStarted(5000));
  ASSERT_FALSE(FocusWindow("Tovrena").isEmpty());
  Xdotool({"key", "ctrl+o"});
  ASSERT_FALSE(FocusWindow("Choose Files to Convert").isEmpty());
  Xdotool({"type", "--delay", "5", "\"first.avi\" \"second.avi\""});
  Xdotool({"key", "Return"});
  ASSERT_FALSE(FocusWindow("Tovrena").isEmpty());
  // Convert: the run starts once both files are in.
  Xdotool({"key", "Return"});
  ASSERT_FALSE(FocusWindow("Information").isEmpty()) << "no end of the run";

  BindMediaLibrariesForTest();
  for (const auto& [name, frames] : {std::pair{"first", 20}, std::pair{"second", 30}}) {
    const TMediaInfo info = DecodeMediaInfo(output_ + name + ".mp4");
    ASSERT_TRUE(info.opened) << name;
    ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr) << name;
    EXPECT_NEAR(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, frames, 1) << name;
    ASSERT_NE(info.FirstOfType(AVMEDIA_TYPE_AUDIO), nullptr) << name;
  }
  EXPECT_EQ(program_.state(), QProcess::Running);
}

}  // namespace
