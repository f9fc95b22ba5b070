#include "ulvo/gui/ctransfer_prop_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ulvo/transfer/setting_names.h"
#include "ulvo/transfer/transfer_form.h"

namespace ulvo {

namespace st = sheet_texts;

namespace {

// The buttons of one group, `columns` to a row, bit n as button id n.
QButtonGroup* RadioGroup(QWidget* page, QGridLayout* layout, int row, int col, const QString& title,
                         const QStringList& names, uint32_t capability, uint32_t checked,
                         int columns) {
  auto* box = new QGroupBox(title, page);
  auto* grid = new QGridLayout(box);
  auto* group = new QButtonGroup(page);
  for (int bit = 0; bit < names.size(); ++bit) {
    auto* button = new QRadioButton(names[bit], box);
    button->setEnabled((capability & (1u << bit)) != 0);
    button->setChecked(checked == (1u << bit));
    group->addButton(button, bit);
    grid->addWidget(button, bit / columns, bit % columns);
  }
  layout->addWidget(box, row, col);
  return group;
}

uint32_t CheckedBit(const QButtonGroup* group) {
  const int id = group->checkedId();
  return id >= 0 ? 1u << id : 0u;
}

}  // namespace

CBaudratePage::CBaudratePage(const TransferParams& capabilities, const TransferParams& current,
                             const TaskContext& context, QWidget* parent)
    : QWidget(parent) {
  setObjectName(QStringLiteral("CBaudratePage"));
  const SpeedChoice now = SpeedChoiceOf(current);
  QStringList bauds;
  for (uint32_t rate : kBaudRates) bauds << QString::number(rate);
  QStringList parities;
  for (const ParityNames& p : kParityNames)
    parities << context.QText(TransferText{p.sheet, p.summary.key});
  QStringList dataBits;
  for (const char* n : kDataBitsNames) dataBits << QString::fromLatin1(n);
  QStringList stopBits;
  for (const char* n : kStopBitsNames) stopBits << QString::fromLatin1(n);

  auto* layout = new QGridLayout(this);
  groups_[0] = RadioGroup(this, layout, 0, 0, context.QText(st::kBaudrate), bauds,
                          capabilities.baudMask, now.baud, 3);
  groups_[1] = RadioGroup(this, layout, 0, 1, context.QText(st::kParity), parities,
                          ParityByte(capabilities.lineFormat), now.parity, 1);
  groups_[2] = RadioGroup(this, layout, 1, 0, context.QText(st::kDataBits), dataBits,
                          DataBitsByte(capabilities.lineFormat), now.dataBits, 4);
  groups_[3] = RadioGroup(this, layout, 1, 1, context.QText(st::kStopBits), stopBits,
                          StopBitsByte(capabilities.lineFormat), now.stopBits, 3);
}

void CBaudratePage::showEvent(QShowEvent* event) {
  shown_ = true;
  QWidget::showEvent(event);
}

SpeedChoice CBaudratePage::Choice() const {
  return SpeedChoice{CheckedBit(groups_[0]), CheckedBit(groups_[1]), CheckedBit(groups_[2]),
                     CheckedBit(groups_[3])};
}

CHandshakePage::CHandshakePage(const CInstrument& instrument, int direction,
                               const TaskContext& context, QWidget* parent)
    : QWidget(parent), instrument_(instrument), direction_(direction), context_(context) {
  setObjectName(QStringLiteral("CHandshakePage"));
  const TransferParams& caps = instrument.Capabilities(direction);
  const HandshakeChoice now = HandshakeChoiceOf(instrument.Params(direction));
  showMessage = [this](const QString& text) {
    QMessageBox::warning(this, QStringLiteral("ULVO"), text);
  };

  auto* softBox = new QGroupBox(context.QText(st::kSoftware), this);
  soft_ = new QComboBox(softBox);
  soft_->setObjectName(QStringLiteral("software"));
  soft_->addItem(QString());
  softBits_.push_back(0);
  for (const SoftHandshakeNames& name : kSoftHandshakeNames) {
    const uint32_t bit = 1u << (name.mode - 1);
    if (!(SoftHandshakeByte(caps.lineFormat) & bit)) continue;
    soft_->addItem(context.QText(name.text));
    softBits_.push_back(bit);
  }
  for (size_t i = 0; i < softBits_.size(); ++i)
    if (softBits_[i] == now.soft) soft_->setCurrentIndex(static_cast<int>(i));
  (new QVBoxLayout(softBox))->addWidget(soft_);

  auto* hardBox = new QGroupBox(context.QText(st::kHardware), this);
  auto* hardLayout = new QVBoxLayout(hardBox);
  for (int bit = 0; bit < kHardHandshakeBitCount; ++bit) {
    hard_[bit] = new QCheckBox(context.QText(kHardHandshakeNames[bit].sheet), hardBox);
    hard_[bit]->setEnabled((caps.hardHandshake & (1u << bit)) != 0);
    hard_[bit]->setChecked((now.hard & (1u << bit)) != 0);
    hardLayout->addWidget(hard_[bit]);
  }

  auto* formatBox = new QGroupBox(context.QText(st::kFormat), this);
  formats_ = new QListWidget(formatBox);
  formats_->setObjectName(QStringLiteral("format"));
  for (uint32_t bit : BitsOf(caps.dataFormat, kFormatBitCount)) {
    formats_->addItem(QString::fromStdString(instrument.FormatName(bit)));
    formatBits_.push_back(bit);
    if (bit == now.format) formats_->setCurrentRow(formats_->count() - 1);
  }
  (new QVBoxLayout(formatBox))->addWidget(formats_);

  auto* layout = new QGridLayout(this);
  layout->addWidget(softBox, 0, 0);
  layout->addWidget(hardBox, 1, 0);
  layout->addWidget(formatBox, 0, 1, 2, 1);

  connect(formats_, &QListWidget::currentRowChanged, this, [this] { EnforceHandshake(); });
  connect(soft_, &QComboBox::activated, this, [this] { EnforceHandshake(); });
}

void CHandshakePage::showEvent(QShowEvent* event) {
  shown_ = true;
  QWidget::showEvent(event);
}

void CHandshakePage::EnforceHandshake() {
  const HandshakeChoice choice = Choice();
  const std::optional<uint32_t> required =
      RequiredHandshakeSwitch(instrument_, direction_, choice.format, choice.soft);
  if (!required) return;
  for (size_t i = 0; i < softBits_.size(); ++i) {
    if (softBits_[i] != *required) continue;
    soft_->setCurrentIndex(static_cast<int>(i));
    if (showMessage) showMessage(context_.QText(st::kFormatHandshake));
    return;
  }
}

HandshakeChoice CHandshakePage::Choice() const {
  HandshakeChoice c;
  const int soft = soft_->currentIndex();
  c.soft = soft >= 0 && static_cast<size_t>(soft) < softBits_.size() ? softBits_[soft] : 0;
  for (int bit = 0; bit < kHardHandshakeBitCount; ++bit)
    if (hard_[bit]->isChecked()) c.hard |= 1u << bit;
  const int row = formats_->currentRow();
  c.format = row >= 0 && static_cast<size_t>(row) < formatBits_.size() ? formatBits_[row] : 0;
  return c;
}

CTransferPropSheet::CTransferPropSheet(const CInstrument& instrument, int direction,
                                       const TaskContext& context, QWidget* parent)
    : QDialog(parent), current_(instrument.Params(direction)) {
  setObjectName(QStringLiteral("CTransferPropSheet"));
  setWindowTitle(
      context.QText(direction == kDirectionReceive ? st::kDownloadTitle : st::kUploadTitle));
  tabs_ = new QTabWidget(this);
  speed_ = new CBaudratePage(instrument.Capabilities(direction), current_, context, tabs_);
  handshake_ = new CHandshakePage(instrument, direction, context, tabs_);
  tabs_->addTab(speed_, context.QText(st::kSpeed));
  // "&&" is the resource's way of showing one ampersand.
  tabs_->addTab(handshake_, context.QText(st::kHandshake));
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(context.QText(st::kOk), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(context.QText(st::kCancel), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
}

TransferParams CTransferPropSheet::Result() const {
  std::optional<SpeedChoice> speed;
  if (speed_->WasShown()) speed = speed_->Choice();
  std::optional<HandshakeChoice> handshake;
  if (handshake_->WasShown()) handshake = handshake_->Choice();
  return SheetResult(current_, speed, handshake);
}

}  // namespace ulvo
