// The main window's desktop manners: keys, the Add dialog's folder, drops as copies, the
// empty list's hint, and addresses no program opens.
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QUrl>
#include <filesystem>
#include <string>

#include "WindowTestSupport.h"
#include "app/UnitFrmAbout.h"

namespace {

namespace fs = std::filesystem;

using WindowKeysTest = TWindowTest;

// Runs act on the next file dialog that comes up within a few seconds, again while the
// dialog stays up (it may not know a file just made yet).
void OnNextFileDialog(const std::function<void(QFileDialog&)>& act, int tries = 200) {
  QTimer::singleShot(20, [act, tries] {
    QFileDialog* dialog = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (auto* found = qobject_cast<QFileDialog*>(window); found != nullptr && found->isVisible())
        dialog = found;
    }
    if (dialog != nullptr) act(*dialog);
    if (dialog != nullptr && !dialog->isVisible()) return;
    if (tries > 0) {
      OnNextFileDialog(act, tries - 1);
    } else {
      ADD_FAILURE() << "no file dialog came up";
    }
  });
}

// Ctrl+O as the window's shortcut map sees it.
void PressOpen(TForm1& form) {
  for (QShortcut* shortcut : form.findChildren<QShortcut*>()) {
    if (shortcut->key() == QKeySequence(QKeySequence::Open)) emit shortcut->activated();
  }
}

TEST_F(WindowKeysTest, CtrlOOpensTheAddDialogWhereFilesWereLastAddedFrom) {
  const std::string clip = Clip("clips/a.avi");
  const QString folder = QString::fromStdString(media_.File("clips"));
  {
    TForm1 form(LibAVFolder());
    ASSERT_TRUE(form.FormCreate());
    OnNextFileDialog([&](QFileDialog& dialog) {
      // Typed as a user types a name into the dialog.
      auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(name, nullptr);
      name->setText(QString::fromStdString(clip));
      QMetaObject::invokeMethod(&dialog, "accept");
    });
    PressOpen(form);
    ASSERT_TRUE(WaitFor([&] { return form.Lvw->rowCount() == 1 && !form.Adding(); }));
    form.close();
  }
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  QString opened;
  OnNextFileDialog([&](QFileDialog& dialog) {
    opened = dialog.directory().absolutePath();
    dialog.reject();
  });
  PressOpen(form);
  ASSERT_TRUE(WaitFor([&] { return !opened.isEmpty(); }));
  EXPECT_EQ(opened, folder);
  EXPECT_EQ(form.Lvw->rowCount(), 0);
  EXPECT_EQ(form.BtnAdd->text(), "&Add");
}

TEST_F(WindowKeysTest, EnterConvertsEscAsksBeforeStoppingAndDeleteRemoves) {
  ChooseProfile(1);  // the large frames keep the run going
  const std::string clip = Clip("long.avi", 1500);
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  form.show();
  form.Lvw->setFocus();
  QTest::keyClick(form.Lvw, Qt::Key_Return);
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Text, "Please select files to be converted.");

  form.AddFiles({QString::fromStdString(clip), QString::fromStdString(clip)});
  ASSERT_TRUE(WaitFor([&] { return !form.Adding(); }));
  ASSERT_EQ(form.Lvw->rowCount(), 2) << boxes_.Boxes().back().Text;
  form.Lvw->selectRow(1);
  QTest::keyClick(form.Lvw, Qt::Key_Delete);
  EXPECT_EQ(form.Lvw->rowCount(), 1);
  form.Lvw->clearSelection();
  QTest::keyClick(form.Lvw, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_TRUE(form.Running());
  ASSERT_TRUE(WaitFor([&] { return Text(form, 0, lcStatus).find('%') != std::string::npos; }));

  boxes_.Answer = QMessageBox::No;
  QTest::keyClick(form.Lvw, Qt::Key_Escape);
  ASSERT_EQ(boxes_.Boxes().size(), 2u);
  EXPECT_EQ(boxes_.Boxes()[1].Text, "Stop converting?");
  EXPECT_TRUE(form.Running());
  boxes_.Answer = QMessageBox::Yes;
  QTest::keyClick(form.Lvw, Qt::Key_Escape);
  EXPECT_FALSE(form.Running());
  EXPECT_EQ(Text(form, 0, lcStatus), "Stopped");
}

TEST_F(WindowKeysTest, TheEmptyListAsksForDropsAndTakesThemAsCopies) {
  const std::string clip = Clip("a.avi");
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  form.show();
  auto* hint = form.Lvw->viewport()->findChild<QLabel*>();
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(hint->text(), "Drop media files here");
  EXPECT_TRUE(hint->isVisible());

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(clip))});
  // A source that proposes a move still only lends its files.
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
  enter.setDropAction(Qt::MoveAction);
  QCoreApplication::sendEvent(form.Lvw->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                  Qt::NoModifier);
  drop.setDropAction(Qt::MoveAction);
  QCoreApplication::sendEvent(form.Lvw->viewport(), &drop);
  EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
  ASSERT_TRUE(WaitFor([&] { return !form.Adding(); }));
  EXPECT_EQ(form.Lvw->rowCount(), 1);
  EXPECT_FALSE(hint->isVisible());
  EXPECT_TRUE(fs::exists(clip));
  form.BtnClearClick();
  EXPECT_TRUE(hint->isVisible());
}

TEST_F(WindowKeysTest, HelpAndAboutSayWhenNoProgramOpensTheirAddresses) {
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  QUrl asked;
  form.OpenUrl = [&](const QUrl& url) {
    asked = url;
    return false;
  };
  form.BtnHelp->click();
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].Text,
            "No program on this system opens " + asked.toLocalFile().toStdString() + ".");
  EXPECT_TRUE(asked.toLocalFile().endsWith("/help.html"));

  TFrmAbout about;
  about.OpenUrl = [](const QUrl&) { return false; };
  QTest::mouseClick(about.LblEmail, Qt::LeftButton);
  ASSERT_EQ(boxes_.Boxes().size(), 2u);
  EXPECT_EQ(boxes_.Boxes()[1].Caption, "About Tovrena");
  EXPECT_EQ(boxes_.Boxes()[1].Text,
            std::string("No program on this system opens mailto:") + kSupportAddress + ".");
}

}  // namespace
