#include "app/UnitFrmNewProfile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/UnitFrmSettings.h"
#include "frontend/ProfileLimits.h"
#include "ui/DialogButtons.h"

namespace {

const QSize kClientSize(297, 105);

// Characters that would end or split the "[name]" line of the profile's section.
bool FitsSectionLine(const QString& name) {
  return !name.contains(']') && !name.contains('\r') && !name.contains('\n');
}

}  // namespace

TFrmNewProfile::TFrmNewProfile(TFrmOptions& options) : QDialog(&options), options_(options) {
  setWindowTitle(tr("New Profile"));
  dlg.Caption = tr("Error");

  auto* layout = new QVBoxLayout(this);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(new QLabel(tr("Name: "), this));
  EdtName = new QLineEdit(this);
  nameRow->addWidget(EdtName, 1);
  layout->addLayout(nameRow);
  layout->addStretch(1);
  layout->addLayout(MakeOkCancelRow(this, BtnOK, BtnCancel));
  setFixedSize(sizeHint().expandedTo(kClientSize));

  connect(BtnOK, &QPushButton::clicked, this, &TFrmNewProfile::BtnOKClick);
  connect(BtnCancel, &QPushButton::clicked, this, &TFrmNewProfile::reject);
}

void TFrmNewProfile::ShowError(const QString& text) {
  dlg.Text = text;
  dlg.Show(this);
}

void TFrmNewProfile::BtnOKClick() {
  const QString name = EdtName->text();
  if (name.trimmed().isEmpty()) {
    ShowError(tr("Profile name must not be blank"));
    return;
  }
  if (!FitsSectionLine(name)) {
    ShowError(tr("Profile name must not contain \"]\" or a line break"));
    return;
  }
  const TMainWindowLink& link = options_.Link();
  if (link.GroupName.empty()) {
    ShowError(tr("Choose an output group before saving a profile"));
    return;
  }
  const TProfileSettings profile = options_.ShownProfile();
  if (const std::string problem = ProfileValueProblem(profile); !problem.empty()) {
    ShowError(QString::fromStdString(problem));
    return;
  }
  // The section is named as typed, blanks included.
  try {
    SaveProfile(link.GroupName, name.toStdString(), profile);
  } catch (const EIniFileError& error) {
    link.ShowError(error);
    return;
  }
  options_.ProfileSaved(name);
  accept();
}
