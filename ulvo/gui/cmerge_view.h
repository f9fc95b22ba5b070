#pragma once

#include <QWidget>

#include "ulvo/gui/task_context.h"

namespace ulvo {

// The Merge document has no data of its own.
class CMergeDoc : public QObject {
  Q_OBJECT
};

// The Merge form: its controls with translated captions; only Close acts in this version.
class CMergeView : public QWidget {
  Q_OBJECT

 public:
  explicit CMergeView(const TaskContext& context, QWidget* parent = nullptr);

 signals:
  void CloseRequested();
};

}  // namespace ulvo
