#pragma once

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "ulvo/gui/task_context.h"
#include "ulvo/gui/transfer_runner.h"
#include "ulvo/transfer/check_port.h"
#include "ulvo/transfer/port_names.h"
#include "ulvo/transfer/transfer_form.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QRadioButton;

namespace ulvo {

class LinePane;

// The transfer document: owns the engine that runs on its own thread.
class CTransferDoc : public QObject {
  Q_OBJECT

 public:
  // clock: what the instrument's silence is measured with (null: the steady clock).
  explicit CTransferDoc(TransferRunner::DeviceFactory factory, QObject* parent = nullptr,
                        Clock* clock = nullptr);
  TransferRunner& Runner() { return runner_; }
  // The line trace of the last transfer, for the window's "Line" pane.
  TraceModel& Trace() { return trace_; }

 private:
  TraceModel trace_;
  TransferRunner runner_;
};

// The transfer form.
class CTransferView : public QWidget, private TransferFormPrompts {
  Q_OBJECT

 public:
  // Where the view asks its questions and which file the browse button picks; tests replace
  // both.
  using FileChooser = std::function<QString(bool save, const QString& title, const QString& start)>;

  CTransferView(TaskContext context, CTransferDoc& doc, const PortProbe& ports,
                QWidget* parent = nullptr);
  ~CTransferView() override;

  void SetPrompts(TransferFormPrompts* prompts);
  void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

  // The Close button and the frame's close: false while a transfer runs (the user is asked
  // whether to stop it; the window then closes once the port is closed).
  bool CanClose();

  // Names the listed ports as the system knows them, finds the adapter last used again by its
  // serial number, and follows ports that come and go (polled each second). Null: bare paths.
  void SetPortLister(const PortLister* lister);
  // Lists the ports there are now, keeping the chosen one.
  void RefreshPorts();
  // The device of the chosen port (a listed port's device, else the path as typed).
  std::string ChosenPort() const;

  TransferForm& Form() { return *form_; }
  LinePane* Pane() const { return linePane_; }
  // The window's fixed size: taller while the "Line" pane is open, as far as the main
  // window has room.
  QSize FrameSize() const;
  // Called after every successful receive with the option's format and the file.
  std::function<void(const std::string& format, const std::string& file)> onReceived;

 signals:
  void CloseRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  // The main window's area was resized: the window is fitted to it again.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowInfo(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void Translate();
  // Gives the window its size and keeps its bottom inside the main window's area.
  void FitWindow();
  void FillOptions();
  void Refresh();
  void OnDirection();
  void OnInstrument(int index);
  void OnOption(int index);
  void OnBrowse();
  void OnParameters();
  void OnNext();
  void OnUpdated(const EngineUpdate& update);
  void OnFinished(quint32 result);

  TaskContext context_;
  CTransferDoc& doc_;
  std::unique_ptr<TransferFormPrompts> ownPrompts_;
  TransferFormPrompts* prompts_ = nullptr;
  std::unique_ptr<TransferForm> form_;
  FileChooser chooseFile_;
  bool closeAfterStop_ = false;
  bool filling_ = false;
  std::string runningFile_;
  int runningDirection_ = 0;
  // Where the last receive's data is, shown below the engine's messages until the next start.
  QString fileNote_;
  // Why the last transfer failed, shown under the engine's "Transfer failed".
  QString failureNote_;

  QGroupBox* actionBox_;
  QRadioButton* sendButton_;
  QRadioButton* receiveButton_;
  QGroupBox* instrumentBox_;
  QLabel* instrumentLabel_;
  QComboBox* instrumentCombo_;
  QLabel* optionLabel_;
  QComboBox* optionCombo_;
  QGroupBox* computerBox_;
  QLabel* fileLabel_;
  QLineEdit* fileEdit_;
  QPushButton* browseButton_;
  QLabel* portLabel_;
  QComboBox* portCombo_;
  const PortLister* portLister_ = nullptr;
  std::vector<std::string> listedDevices_;  // devices the lister named at the last refresh
  std::vector<PortInfo> listedPorts_;       // as at the last refresh
  QTimer* portPoll_ = nullptr;
  QGroupBox* paramsBox_;
  QLabel* softLabel_;
  QLabel* softValue_;
  QLabel* hardLabel_;
  QLabel* hardValue_;
  QLabel* formatValue_;
  QLabel* lineValue_;
  QPushButton* paramsButton_;
  QPushButton* helpButton_;
  QPushButton* nextButton_;
  QPushButton* closeButton_;
  QGroupBox* statusBox_;
  QLabel* progressLabel_;
  QProgressBar* progress_;
  QLabel* bytesLabel_;
  QLabel* bytesValue_;
  QLabel* messagesLabel_;
  QLabel* messages_;
  LinePane* linePane_;
  QPointer<QMdiArea> watchedArea_;
};

// The transfer task's child window: 600 wide, 524 high (720 with the "Line" pane open),
// neither sizable, minimizable nor maximizable.
// Attached to the MDI child window the view is put in.
class CTransferFrame : public QObject {
  Q_OBJECT

 public:
  static void Attach(QMdiSubWindow* window, QSize size);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  using QObject::QObject;
};

}  // namespace ulvo
