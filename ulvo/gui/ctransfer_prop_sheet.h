#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ulvo/gui/task_context.h"
#include "ulvo/transfer/clock.h"
#include "ulvo/transfer/serial_device.h"
#include "ulvo/transfer/transfer_sheet.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace ulvo {

// Speed, parity, data bits and stop bits; buttons the instrument cannot use are disabled.
class CBaudratePage : public QWidget {
  Q_OBJECT

 public:
  CBaudratePage(const TransferParams& capabilities, const TransferParams& current,
                const TaskContext& context, QWidget* parent = nullptr);
  bool WasShown() const { return shown_; }
  SpeedChoice Choice() const;
  // Checks the buttons of `choice`; counts as shown, so the result takes them.
  void ApplyChoice(const SpeedChoice& choice);
  // The group's buttons in bit order: 0 baud, 1 parity, 2 data bits, 3 stop bits.
  QButtonGroup* Group(int index) const { return groups_[index]; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QButtonGroup* groups_[4];
  bool shown_ = false;
};

// Software handshake, hardware handshake and data format.
class CHandshakePage : public QWidget {
  Q_OBJECT

 public:
  CHandshakePage(const CInstrument& instrument, int direction, const TaskContext& context,
                 QWidget* parent = nullptr);
  bool WasShown() const { return shown_; }
  HandshakeChoice Choice() const;
  QComboBox* SoftList() const { return soft_; }
  QListWidget* FormatList() const { return formats_; }
  QCheckBox* HardBox(int bit) const { return hard_[bit]; }
  // Shows the format-handshake message; tests record it instead.
  std::function<void(const QString&)> showMessage;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void EnforceHandshake();

  const CInstrument& instrument_;
  int direction_;
  const TaskContext& context_;
  QComboBox* soft_;
  QCheckBox* hard_[kHardHandshakeBitCount];
  QListWidget* formats_;
  std::vector<uint32_t> softBits_;    // per entry of soft_, 0 for the empty entry
  std::vector<uint32_t> formatBits_;  // per row of formats_
  bool shown_ = false;
};

// What the sheet's "Detect..." listens with: the port the window chose, a new serial device
// for the listening thread (which then owns it) and the clock its waits run on (null: steady).
struct SheetDetect {
  std::string port;
  std::function<std::unique_ptr<SerialDevice>()> makeDevice;
  Clock* clock = nullptr;
};

// The modal settings sheet of one direction of an instrument; works on copies.
class CTransferPropSheet : public QDialog {
  Q_OBJECT

 public:
  CTransferPropSheet(const CInstrument& instrument, int direction, const TaskContext& context,
                     QWidget* parent = nullptr);
  // The current settings with the fields of each page that was shown replaced.
  TransferParams Result() const;
  CBaudratePage* SpeedPage() const { return speed_; }
  CHandshakePage* HandshakePage() const { return handshake_; }
  QTabWidget* Tabs() const { return tabs_; }
  QPushButton* DetectButton() const { return detectButton_; }

  // Enables "Detect..." for this port (disabled while no port is chosen).
  void SetDetect(SheetDetect detect);
  // Listens on the port while the instrument sends, then proposes what it found.
  void Detect();
  // Yes or no to a question, and a message: message boxes; tests answer instead.
  std::function<bool(const QString&)> ask;
  std::function<void(const QString&)> tell;

 private:
  const CInstrument& instrument_;
  int direction_;
  const TaskContext& context_;
  SheetDetect detect_;
  QPushButton* detectButton_;
  TransferParams current_;
  QTabWidget* tabs_;
  CBaudratePage* speed_;
  CHandshakePage* handshake_;
};

}  // namespace ulvo
