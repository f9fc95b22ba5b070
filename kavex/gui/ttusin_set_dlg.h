#pragma once

#include <QDialog>
#include <functional>

#include "kavex/comm/comm_dialog_rules.h"
#include "kavex/comm/comm_settings.h"
#include "kavex/platform/port_list.h"
#include "kavex/platform/port_paths.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QTimer;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kavex {

struct CommStatusOptions {
  CommSettings settings;              // loaded into the controls, after the forced values
  CommStatusPreparation preparation;  // labels and what the command enables and shows
  PortPaths paths;                    // the devices behind COM1 and COM2
};

// "Comm Status": the line settings a transfer starts with. "GO" accepts; the caller then
// stores options() into the settings.
class TTusinSetDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TTusinSetDlg(const CommStatusOptions& options, QWidget* parent = nullptr);

  void SetOptions(const CommStatusOptions& options);
  // Every control as "GO" stores it.
  CommStatusOptions options() const;

  // "Advanced" calls this (the owner shows "Advanced Options").
  void SetAdvancedHandler(std::function<void()> handler) { advanced_ = std::move(handler); }
  // "Detect..." calls this (the owner listens on the chosen device and proposes what it found).
  void SetDetectHandler(std::function<void()> handler) { detect_ = std::move(handler); }
  // Sets speed, characters, parity and stop bits as found (a speed Kavex lacks stays as it is).
  void ApplyDetected(int baud, int dataBits, int parity, int stopBits);
  // Lists the ports from `lister` from now on, and again each second while shown.
  void SetPortLister(const PortLister& lister);
  // Lists the ports there are now, keeping what each field shows.
  void RefreshPorts();
  // The device behind the chosen COM port, as typed.
  std::string ChosenDevice() const;

  QButtonGroup* ComPort() const { return com_; }
  QButtonGroup* BaudRate() const { return baud_; }
  QButtonGroup* Characters() const { return chars_; }
  QButtonGroup* Parity() const { return parity_; }
  QButtonGroup* StopBits() const { return stop_; }
  QButtonGroup* Protocol() const { return protocol_; }
  QGroupBox* CharactersBox() const { return charsBox_; }
  QGroupBox* StopBitsBox() const { return stopBox_; }
  QGroupBox* ProtocolBox() const { return protocolBox_; }
  QCheckBox* WriteTextFile() const { return writeText_; }
  QCheckBox* ReadTextFile() const { return readText_; }
  QLineEdit* DevicePath(int com) const { return com == 0 ? path1_ : path2_; }
  QComboBox* DeviceList(int com) const { return com == 0 ? box1_ : box2_; }
  QLabel* InstrumentLabel() const { return instrument_; }
  QLabel* DirectionLabel() const { return direction_; }
  QPushButton* GoButton() const { return go_; }
  QPushButton* AdvancedButton() const { return advancedButton_; }
  QPushButton* DetectButton() const { return detectButton_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // The device a field stands for: a listed port's device, else the text as typed.
  std::string DeviceOf(const QComboBox* box) const;
  SystemPortLister systemPorts_;
  const PortLister* lister_ = &systemPorts_;
  QComboBox* box1_;
  QComboBox* box2_;
  QTimer* poll_;
  std::vector<PortInfo> listed_;  // as at the last refresh
  CommStatusOptions options_;
  QLabel* instrument_;
  QLabel* direction_;
  QButtonGroup* com_;
  QButtonGroup* baud_;
  QButtonGroup* chars_;
  QButtonGroup* parity_;
  QButtonGroup* stop_;
  QButtonGroup* protocol_;
  QGroupBox* charsBox_;
  QGroupBox* stopBox_;
  QGroupBox* protocolBox_;
  QLineEdit* path1_;
  QLineEdit* path2_;
  QCheckBox* writeText_;
  QCheckBox* readText_;
  QPushButton* go_;
  QPushButton* cancel_;
  QPushButton* advancedButton_;
  QPushButton* detectButton_;
  std::function<void()> advanced_;
  std::function<void()> detect_;
};

}  // namespace kavex
