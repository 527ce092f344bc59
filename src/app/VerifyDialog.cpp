#include "app/VerifyDialog.h"

#include "builder/Verify.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korva::app {

VerifyDialog::VerifyDialog(const Workspace& workspace, QWidget* parent) : QDialog(parent), workspace_(workspace) {
  setObjectName(QStringLiteral("VerifyDialog"));
  setWindowTitle(QStringLiteral("Verify Images"));
  action_ = new QAction(QStringLiteral("&Verify Images..."), this);
  action_->setObjectName(QStringLiteral("FileVerify1"));
  action_->setStatusTip(QStringLiteral("Check exported or burnt images against the project"));
  connect(action_, &QAction::triggered, this, [this] {
    UseExportedImages();
    result_->clear();
    summary_->clear();
    show();
    raise();
    activateWindow();
  });

  auto* intro = new QLabel(QStringLiteral("Compares three images with the project and its ROMs: the files the export "
                                          "wrote, or files an EPROM programmer read back from the chips."),
                           this);
  intro->setWordWrap(true);
  auto* grid = new QGridLayout;
  const char* labels[] = {"&PRG image:", "&CHR image:", "&Instruction ROM:"};
  const char* names[] = {"VerifyPrg", "VerifyChr", "VerifyInst"};
  for (int i = 0; i < 3; ++i) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(names[i]));
    edit->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    auto* label = new QLabel(QString::fromLatin1(labels[i]), this);
    label->setBuddy(edit);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    connect(browse, &QPushButton::clicked, this, [this, edit] {
      const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Choose an image"),
                                                          QFileInfo(edit->text()).absolutePath(),
                                                          QStringLiteral("Images (*.bin);;All files (*)"));
      if (!chosen.isEmpty()) edit->setText(chosen);
    });
    grid->addWidget(label, i, 0);
    grid->addWidget(edit, i, 1);
    grid->addWidget(browse, i, 2);
    files_[static_cast<std::size_t>(i)] = edit;
  }
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("VerifySummary"));
  summary_->setWordWrap(true);
  result_ = new QPlainTextEdit(this);
  result_->setObjectName(QStringLiteral("VerifyResult"));
  result_->setReadOnly(true);
  result_->setLineWrapMode(QPlainTextEdit::NoWrap);
  result_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  result_->setMinimumSize(fontMetrics().averageCharWidth() * 90, fontMetrics().lineSpacing() * 20);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* verify = buttons->addButton(QStringLiteral("&Verify"), QDialogButtonBox::ActionRole);
  verify->setObjectName(QStringLiteral("VerifyButton"));
  verify->setDefault(true);
  QPushButton* exported = buttons->addButton(QStringLiteral("&Exported Images"), QDialogButtonBox::ResetRole);
  connect(verify, &QPushButton::clicked, this, &VerifyDialog::Verify);
  connect(exported, &QPushButton::clicked, this, &VerifyDialog::UseExportedImages);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addLayout(grid);
  layout->addWidget(summary_);
  layout->addWidget(result_, 1);
  layout->addWidget(buttons);
}

QString VerifyDialog::ResultText() const { return summary_->text() + QLatin1Char('\n') + result_->toPlainText(); }

void VerifyDialog::UseExportedImages() {
  const std::string& project = workspace_.Proj.ProjectFileName;
  const auto paths = ExportedImagePaths(project);
  for (std::size_t i = 0; i < 3; ++i) files_[i]->setText(project.empty() ? QString() : QString::fromStdString(paths[i]));
}

void VerifyDialog::Verify() {
  std::array<std::string, 3> paths;
  for (std::size_t i = 0; i < 3; ++i) paths[i] = files_[i]->text().toStdString();
  VerifyReport report;
  if (workspace_.Proj.ProjectFileName.empty())
    report.Refusal = "Please save project before verifying: the images are checked against the project file's slots.";
  else {
    TemplateChoice templates;  // as the window's Export takes them
    templates.FromProjectDirectory = true;
    report = VerifyImages(workspace_, templates, paths);
  }
  const bool good = report.Matches();
  summary_->setStyleSheet(good ? QStringLiteral("color: #1a7f37; font-weight: bold")
                               : QStringLiteral("color: #c62828; font-weight: bold"));
  if (!report.Refusal.empty()) {
    summary_->setText(QStringLiteral("The images could not be checked."));
    result_->setPlainText(QString::fromStdString(report.Refusal));
    return;
  }
  std::string text = VerifyReportText(report);
  const auto last = text.rfind('\n', text.size() - 2);
  summary_->setText(QString::fromStdString(text.substr(last + 1, text.size() - last - 2)));
  result_->setPlainText(QString::fromStdString(text.substr(0, last)));
}

}  // namespace korva::app
