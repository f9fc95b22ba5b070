#include "kavex/gui/guarded_application.h"

#include <cstdio>

namespace kavex {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    Handle(std::current_exception());
    return false;
  }
}

int GuardedApplication::Run() {
  for (;;) {
    try {
      return exec();
    } catch (...) {
      Handle(std::current_exception());
    }
  }
}

void GuardedApplication::Handle(std::exception_ptr error) {
  try {
    if (handler_) handler_(error);
  } catch (...) {
    // The handler itself failed (memory is that short): the terminal still hears of it.
    std::fputs("kavex: an error could not be shown\n", stderr);
  }
}

}  // namespace kavex
