#include "ulvo/gui/ctransfer_prop_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

#include "ulvo/transfer/line_detect.h"
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

void CBaudratePage::ApplyChoice(const SpeedChoice& choice) {
  const uint32_t bits[] = {choice.baud, choice.parity, choice.dataBits, choice.stopBits};
  for (int g = 0; g < 4; ++g)
    for (QAbstractButton* b : groups_[g]->buttons())
      if (bits[g] == 1u << groups_[g]->id(b)) b->setChecked(true);
  shown_ = true;
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
    : QDialog(parent),
      instrument_(instrument),
      direction_(direction),
      context_(context),
      current_(instrument.Params(direction)) {
  ask = [this](const QString& text) {
    return QMessageBox::question(this, context_.QText(sheet_texts::kDetectTitle), text) ==
           QMessageBox::Yes;
  };
  tell = [this](const QString& text) {
    QMessageBox::information(this, context_.QText(sheet_texts::kDetectTitle), text);
  };
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
  detectButton_ = buttons->addButton(context.QText(st::kDetect), QDialogButtonBox::ActionRole);
  detectButton_->setObjectName(QStringLiteral("detect"));
  detectButton_->setToolTip(context.QText(st::kDetectTip));
  detectButton_->setAutoDefault(false);
  detectButton_->setEnabled(false);
  connect(detectButton_, &QPushButton::clicked, this, &CTransferPropSheet::Detect);
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

namespace {

// Told by the listening thread how far it has got; asked whether to stop.
class SharedProgress final : public DetectProgress {
 public:
  bool Listening(double fraction) override {
    fraction_ = fraction;
    return !cancel_;
  }
  std::atomic<double> fraction_{0};
  std::atomic<bool> cancel_{false};
};

}  // namespace

void CTransferPropSheet::SetDetect(SheetDetect detect) {
  detect_ = std::move(detect);
  detectButton_->setEnabled(!detect_.port.empty() && detect_.makeDevice != nullptr);
}

void CTransferPropSheet::Detect() {
  if (detect_.port.empty() || !detect_.makeDevice) return;
  QProgressDialog progress(context_.QText(st::kDetectPrompt), context_.QText(st::kCancel), 0, 1000,
                           this);
  progress.setWindowTitle(context_.QText(st::kDetectTitle));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.setValue(0);
  SharedProgress shared;
  std::atomic<bool> done{false};
  DetectReport report;
  // The port is read on a thread of its own, so the sheet stays alive and Cancel works.
  std::thread listener([&] {
    SteadyClock steady;
    std::unique_ptr<SerialDevice> device = detect_.makeDevice();
    const Clock& clock = detect_.clock ? *detect_.clock : steady;
    report = DetectLineSettings(*device, clock, detect_.port, kDetectListen, &shared);
    done = true;
  });
  QEventLoop loop;
  QTimer tick;
  connect(&tick, &QTimer::timeout, &loop, [&] {
    if (progress.wasCanceled()) shared.cancel_ = true;
    progress.setValue(static_cast<int>(1000 * shared.fraction_));
    if (done) loop.quit();
  });
  tick.start(50);
  loop.exec();
  // Stopped before any message box: its event loop would go on moving the bar.
  tick.stop();
  listener.join();
  progress.reset();
  progress.hide();
  if (report.outcome == DetectReport::Outcome::kCancelled) return;
  const QString message = QString::fromStdString(report.Message(detect_.port));
  if (report.outcome != DetectReport::Outcome::kFound || !report.frame) {
    tell(message);
    return;
  }
  const std::optional<SpeedChoice> choice =
      DetectedSpeedChoice(instrument_.Capabilities(direction_), report.baud, report.frame->dataBits,
                          report.frame->parity, report.frame->stopBits);
  if (!choice) {
    tell(message + QLatin1Char('\n') +
         context_.QText(st::kDetectNotAllowed).arg(QString::fromStdString(report.Settings())));
    return;
  }
  if (ask(message + QLatin1Char('\n') + context_.QText(st::kDetectUse))) {
    speed_->ApplyChoice(*choice);
    tabs_->setCurrentWidget(speed_);
  }
}

}  // namespace ulvo
