// Helpers of the dialog tests: a stand-in for the main window's side of the profile
// dialogs, user choices in lists, and modal windows acted on once they are up.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/UnitFrmSettings.h"
#include "app/frmMessage.h"
#include "frontend/UnitGeneral.h"

// Test messages show texts as texts.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

// The main window as the profile dialogs see it: the group's profile list with the first
// profile chosen and loaded, the current profile, and the error box.
class TMainWindowStandIn {
 public:
  explicit TMainWindowStandIn(std::string group) : group_(std::move(group)) {
    for (const std::string& name : ListProfiles(group_)) {
      Profiles.addItem(QString::fromStdString(name));
    }
    Profiles.setCurrentIndex(Profiles.count() > 1 ? 0 : -1);
    Load();
  }

  TMainWindowLink Link() {
    return {group_, &Profiles, &CurrentProfile, [this] { Load(); },
            [this](const std::exception& error) { Errors.emplace_back(error.what()); }};
  }

  void Choose(const QString& name) {
    Profiles.setCurrentIndex(Profiles.findText(name));
    Load();
  }

  QComboBox Profiles;
  TProfileSettings CurrentProfile;
  std::vector<std::string> Errors;
  int Loads = 0;

 private:
  void Load() {
    ++Loads;
    CurrentProfile = LoadProfile(group_, Profiles.currentText().toStdString());
  }

  std::string group_;
};

inline QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int index = 0; index < list->count(); ++index) items << list->itemText(index);
  return items;
}

// Picks an item the way the user does, so the list's handler runs.
inline void Choose(QComboBox* list, const QString& text) {
  const int index = list->findText(text);
  ASSERT_GE(index, 0) << text.toStdString();
  list->setCurrentIndex(index);
  emit list->activated(index);
}

// Runs act on the modal window of type TWindow that the caller opens next. A missing or
// other window fails the test and is closed, so nothing waits for ever.
template <class TWindow>
void WhenShown(std::function<void(TWindow&)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* window = qobject_cast<TWindow*>(modal);
    if (window == nullptr) {
      ADD_FAILURE() << "the expected modal window is not up";
      if (modal != nullptr) modal->close();
      return;
    }
    act(*window);
  });
}
