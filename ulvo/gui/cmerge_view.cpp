#include "ulvo/gui/cmerge_view.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace ulvo {

namespace {

template <typename W>
W* Named(W* widget, int id) {
  widget->setObjectName(QString::number(id));
  return widget;
}

}  // namespace

CMergeView::CMergeView(const TaskContext& context, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CMergeView"));
  const auto t = [&context](const char* key, const char* text) { return context.QText(key, text); };
  setWindowTitle(t("DM_TITLE", "Merge"));

  // One input or output box: file edit with browse button, then the type.
  const auto fileBox = [&](int boxId, const char* boxKey, const char* boxText, int fileLabelId,
                           const char* fileKey, const char* fileText, int editId, int browseId,
                           int typeLabelId, const char* typeKey, const char* typeText,
                           QWidget* typeWidget) {
    auto* box = Named(new QGroupBox(t(boxKey, boxText), this), boxId);
    auto* grid = new QGridLayout(box);
    auto* fileLabel = Named(new QLabel(t(fileKey, fileText), box), fileLabelId);
    auto* edit = Named(new QLineEdit(box), editId);
    auto* browse = Named(new QPushButton(QStringLiteral("..."), box), browseId);
    browse->setFixedWidth(32);
    fileLabel->setBuddy(edit);
    auto* typeLabel = Named(new QLabel(t(typeKey, typeText), box), typeLabelId);
    typeWidget->setParent(box);
    typeLabel->setBuddy(typeWidget);
    grid->addWidget(fileLabel, 0, 0);
    grid->addWidget(edit, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(typeLabel, 1, 0);
    grid->addWidget(typeWidget, 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return box;
  };
  QGroupBox* input1 =
      fileBox(2110, "DM_GBOXINPUT1", "Main input file", 2113, "DM_STRINPUTFILE1", "&File:", 2105,
              1902, 2114, "DM_STRINPUTTYPE1", "&Type:", Named(new QComboBox, 2106));
  QGroupBox* input2 =
      fileBox(2111, "DM_GBOXINPUT2", "File with additional info", 2115, "DM_STRINPUTFILE2",
              "F&ile:", 2107, 1903, 2116, "DM_STRINPUTTYPE2", "T&ype:", Named(new QComboBox, 2108));
  QGroupBox* output =
      fileBox(2112, "DM_GBOXOUTPUT", "Merge files into", 2119, "DM_STROUTPUTFILE", "Fi&le:", 2109,
              1904, 2120, "DM_STROUTPUTTYPE", "Type:", Named(new QLabel, 2117));

  auto* status = Named(new QGroupBox(t("GT_GBOXSTATUS", "Status"), this), 2121);
  auto* statusGrid = new QGridLayout(status);
  statusGrid->addWidget(Named(new QLabel(t("GT_PROGRESS", "Progress:"), status), 2101), 0, 0);
  statusGrid->addWidget(Named(new QProgressBar(status), 2103), 0, 1);
  statusGrid->addWidget(Named(new QLabel(t("GT_MESSAGES", "Messages:"), status), 2118), 1, 0, 1, 2);
  auto* messages = Named(new QPlainTextEdit(status), 2104);
  messages->setReadOnly(true);
  statusGrid->addWidget(messages, 2, 0, 1, 2);

  auto* help = Named(new QPushButton(t("GT_BTNHELP", "&Help"), this), 2122);
  auto* merge = Named(new QPushButton(t("DM_BTNMERGE", "&Merge"), this), 2102);
  auto* close = Named(new QPushButton(t("GT_BTNCLOSE", "&Close"), this), 2123);
  // Merging is not defined in this version: its commands are shown but cannot be used.
  for (int id : {2122, 2102, 1902, 1903, 1904})
    if (auto* b = findChild<QPushButton*>(QString::number(id))) b->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(help);
  buttons->addStretch(1);
  buttons->addWidget(merge);
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(input1);
  layout->addWidget(input2);
  layout->addWidget(output);
  layout->addWidget(status, 1);
  layout->addLayout(buttons);
  setMinimumWidth(480);
  SetHelpIdsByName(this);
  connect(close, &QPushButton::clicked, this, &CMergeView::CloseRequested);
}

}  // namespace ulvo
