#include "ulvo/platform/process_runner.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace ulvo {

bool QtProcessRunner::RunAndWait(const std::string& program, const std::string& argument) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.start(QString::fromLocal8Bit(program.c_str()),
                QStringList{QString::fromLocal8Bit(argument.c_str())});
  if (!process.waitForStarted(-1)) return false;
  process.waitForFinished(-1);
  return true;
}

}  // namespace ulvo
