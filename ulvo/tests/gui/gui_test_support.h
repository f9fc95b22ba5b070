#pragma once

#include <QApplication>

namespace ulvo {

// One widget application for the whole test program (offscreen platform under CTest); kept
// alive until the process ends so no widget outlives it.
inline QApplication& EnsureApplication() {
  static int argc = 1;
  static char name[] = "ulvo_gui_tests";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace ulvo
