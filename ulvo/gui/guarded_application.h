#pragma once

#include <QApplication>
#include <exception>
#include <functional>

namespace ulvo {

// The window's application object. An exception that reaches the event loop, from any slot
// or event handler, goes to the handler (which shows it and keeps the user's data) and the
// program goes on, instead of ending with the data lost.
//
// Twin: kavex/gui/guarded_application.h; the two programs share no code.
class GuardedApplication : public QApplication {
 public:
  using Handler = std::function<void(std::exception_ptr)>;

  GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  void SetHandler(Handler handler) { handler_ = std::move(handler); }
  bool notify(QObject* receiver, QEvent* event) override;
  // exec(), entered again after an exception that escaped it was handled; exec()'s result.
  int Run();

 private:
  void Handle(std::exception_ptr error);

  Handler handler_;
};

}  // namespace ulvo
