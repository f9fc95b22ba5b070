#include "kavex/gui/ttusin_set_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kavex {
namespace {

QGroupBox* RadioGroup(QWidget* parent, const char* title, const std::vector<const char*>& items,
                      int columns, QButtonGroup*& group, bool rowsFirst = true) {
  auto* box = new QGroupBox(title, parent);
  auto* grid = new QGridLayout(box);
  group = new QButtonGroup(box);
  const int count = static_cast<int>(items.size());
  const int rows = (count + columns - 1) / columns;
  for (int i = 0; i < count; ++i) {
    auto* b = new QRadioButton(items[static_cast<size_t>(i)], box);
    group->addButton(b, i);
    if (rowsFirst)
      grid->addWidget(b, i / columns, i % columns);
    else
      grid->addWidget(b, i % rows, i / rows);
  }
  return box;
}

void Check(QButtonGroup* group, int id) {
  if (QAbstractButton* b = group->button(id)) b->setChecked(true);
}

}  // namespace

TTusinSetDlg::TTusinSetDlg(const CommStatusOptions& options, QWidget* parent) : QDialog(parent) {
  setObjectName("TusinSetDlg");
  setWindowTitle("Comm Status");
  QFont bold = font();
  bold.setBold(true);
  instrument_ = new QLabel(this);
  instrument_->setFont(bold);
  direction_ = new QLabel(this);
  direction_->setFont(bold);

  // COM1 and COM2, each with the device it stands for on this machine.
  auto* comBox = new QGroupBox("Com Port", this);
  auto* comGrid = new QGridLayout(comBox);
  com_ = new QButtonGroup(comBox);
  auto* com1 = new QRadioButton("COM1", comBox);
  auto* com2 = new QRadioButton("COM2", comBox);
  com_->addButton(com1, 0);
  com_->addButton(com2, 1);
  // Editable lists of the ports the machine has, by name; any device path may be typed.
  auto pathBox = [&](const char* objectName, const char* tip) {
    auto* box = new QComboBox(comBox);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setObjectName(objectName);
    box->setToolTip(tip);
    box->setMinimumContentsLength(16);
    return box;
  };
  box1_ = pathBox("Com1Path", "Device used as COM1");
  box2_ = pathBox("Com2Path", "Device used as COM2");
  path1_ = box1_->lineEdit();
  path2_ = box2_->lineEdit();
  comGrid->addWidget(com1, 0, 0);
  comGrid->addWidget(box1_, 0, 1);
  comGrid->addWidget(com2, 1, 0);
  comGrid->addWidget(box2_, 1, 1);
  // Adapters come and go while the dialog is open.
  poll_ = new QTimer(this);
  poll_->setInterval(1000);
  // Rebuilt only when the ports changed: an open list or a half-typed path stays as it is.
  connect(poll_, &QTimer::timeout, this, [this] {
    if (lister_->Ports() != listed_) RefreshPorts();
  });
  RefreshPorts();

  // Items in the order of the rate table; shown 1200 2400 4800 over 9600 19200 38400.
  auto* baudBox = RadioGroup(this, "Baud Rate (bps)",
                             {"1200", "9600", "2400", "19200", "4800", "38400"}, 3, baud_, false);
  charsBox_ = RadioGroup(this, "Characters", {"7 Bits", "8 Bits"}, 1, chars_);
  auto* parityBox = RadioGroup(this, "Parity", {"None", "Even", "Odd"}, 3, parity_);
  stopBox_ = RadioGroup(this, "Stop Bit(s)", {"1", "2"}, 1, stop_);
  protocolBox_ = RadioGroup(this, "Protocol", {"None", "Ack/Nak"}, 1, protocol_);
  writeText_ = new QCheckBox("Write text file", this);
  readText_ = new QCheckBox("Read text file", this);

  go_ = new QPushButton("GO", this);
  go_->setDefault(true);
  cancel_ = new QPushButton("CANCEL", this);
  advancedButton_ = new QPushButton("Advanced", this);
  advancedButton_->setAutoDefault(false);
  connect(go_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(advancedButton_, &QPushButton::clicked, this, [this] {
    if (advanced_) advanced_();
  });
  detectButton_ = new QPushButton("Detect...", this);
  detectButton_->setAutoDefault(false);
  detectButton_->setToolTip("Listen while the instrument sends and find its line settings");
  connect(detectButton_, &QPushButton::clicked, this, [this] {
    if (detect_) detect_();
  });

  auto* top = new QHBoxLayout;
  top->addWidget(instrument_);
  top->addStretch();
  top->addWidget(direction_);
  auto* row = new QHBoxLayout;
  row->addWidget(charsBox_);
  row->addWidget(parityBox);
  row->addWidget(stopBox_);
  row->addWidget(protocolBox_);
  auto* checks = new QHBoxLayout;
  checks->addWidget(writeText_);
  checks->addWidget(readText_);
  checks->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(advancedButton_);
  buttons->addWidget(detectButton_);
  buttons->addStretch();
  buttons->addWidget(go_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(comBox);
  layout->addWidget(baudBox);
  layout->addLayout(row);
  layout->addLayout(checks);
  layout->addLayout(buttons);
  SetOptions(options);
}

void TTusinSetDlg::SetOptions(const CommStatusOptions& options) {
  options_ = options;
  const CommStatusPreparation& p = options.preparation;
  const CommSettings s = ApplyPreparation(options.settings, p);
  instrument_->setText(QString::fromLatin1(p.instrumentLabel.c_str()));
  direction_->setText(QString::fromLatin1(p.directionLabel.c_str()));
  Check(com_, s.useCom2 ? 1 : 0);
  Check(baud_, RateItemOfCode(s.rateCode));
  Check(chars_, s.sevenBits ? 0 : 1);
  Check(parity_, s.parityCode == 1 ? 1 : s.parityCode == 2 ? 2 : 0);
  Check(stop_, s.stopBits == 2 ? 1 : 0);
  Check(protocol_, s.useAckNak ? 1 : 0);
  writeText_->setChecked(s.writeTextFile);
  readText_->setChecked(s.readTextFile);
  RefreshPorts();
  // A listed device shows under its name.
  auto show = [](QComboBox* box, const std::string& device) {
    const int at = box->findData(QString::fromStdString(device));
    box->setEditText(at >= 0 ? box->itemText(at) : QString::fromStdString(device));
  };
  show(box1_, options.paths.com1);
  show(box2_, options.paths.com2);
  protocolBox_->setEnabled(p.protocolEnabled);
  charsBox_->setEnabled(p.charactersEnabled);
  stopBox_->setEnabled(p.stopBitsEnabled);
  writeText_->setVisible(p.writeTextFileShown);
  readText_->setVisible(p.readTextFileShown);
}

CommStatusOptions TTusinSetDlg::options() const {
  CommStatusOptions o = options_;
  CommSettings& s = o.settings;
  s.useCom2 = com_->checkedId() == 1;
  s.rateCode = RateCodeOfItem(baud_->checkedId());
  s.sevenBits = chars_->checkedId() == 0;
  s.parityCode = parity_->checkedId() < 0 ? 0 : parity_->checkedId();
  s.stopBits = stop_->checkedId() == 1 ? 2 : 1;
  s.useAckNak = protocol_->checkedId() == 1;
  s.writeTextFile = writeText_->isChecked();
  s.readTextFile = readText_->isChecked();
  o.paths.com1 = DeviceOf(box1_);
  o.paths.com2 = DeviceOf(box2_);
  return o;
}

void TTusinSetDlg::ApplyDetected(int baud, int dataBits, int parity, int stopBits) {
  CommStatusOptions o = options();
  if (RateCodeOfBaud(baud) >= 0) o.settings.rateCode = RateCodeOfBaud(baud);
  o.settings.sevenBits = dataBits == 7;
  o.settings.parityCode = parity;
  o.settings.stopBits = stopBits;
  SetOptions(o);
}

std::string TTusinSetDlg::ChosenDevice() const {
  return DeviceOf(com_->checkedId() == 1 ? box2_ : box1_);
}

std::string TTusinSetDlg::DeviceOf(const QComboBox* box) const {
  const QString text = box->currentText().trimmed();
  for (int i = 0; i < box->count(); ++i)
    if (box->itemText(i) == text) return box->itemData(i).toString().toStdString();
  return text.toStdString();
}

void TTusinSetDlg::SetPortLister(const PortLister& lister) {
  lister_ = &lister;
  RefreshPorts();
}

void TTusinSetDlg::RefreshPorts() {
  const std::vector<PortInfo> ports = lister_->Ports();
  listed_ = ports;
  for (QComboBox* box : {box1_, box2_}) {
    // What the field stands for stays: under its new name when its port is listed.
    // A port no longer listed shows as its device, never under a name nothing stands for.
    const std::string device = DeviceOf(box);
    const QSignalBlocker block(box);
    box->clear();
    for (const PortInfo& p : ports)
      box->addItem(QString::fromStdString(PortLabel(p)), QString::fromStdString(p.device));
    const int at = box->findData(QString::fromStdString(device));
    box->setCurrentIndex(-1);
    box->setEditText(at >= 0 ? box->itemText(at) : QString::fromStdString(device));
  }
}

void TTusinSetDlg::hideEvent(QHideEvent* event) {
  poll_->stop();
  QDialog::hideEvent(event);
}

void TTusinSetDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  RefreshPorts();
  poll_->start();
  go_->setFocus();
}

}  // namespace kavex
