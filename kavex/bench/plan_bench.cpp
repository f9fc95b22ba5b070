// Times the Plan pane with POINTS points (default 100,000): reading the points out of the
// current data, then repainting the pane's plan for a run of zooms and pans, each frame as
// the window paints it. A benchmark, not a test: run it by hand, on a display or with
// QT_QPA_PLATFORM=offscreen (release build recommended). The goal is 30 ms a repaint.
#include <QApplication>
#include <QPixmap>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kavex/bench/survey_points.h"
#include "kavex/formats/point_lists.h"
#include "kavex/formats/text_format.h"
#include "kavex/gui/data_memo.h"
#include "kavex/gui/plan_pane.h"

namespace {

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
  kavex::DataMemo memo;
  memo.SetLines(kavex::bench::CoordinateBlockLines(count));
  kavex::PlanPane pane(memo);
  pane.resize(kavex::PlanPane::kWidth, 500);
  pane.show();
  auto start = std::chrono::steady_clock::now();
  pane.SetOpen(true);
  const double read = MillisecondsSince(start);
  kavex::PlanCanvas* canvas = pane.Canvas();
  canvas->Fit();

  // Zoom in towards a corner step by step, pan across, zoom back out.
  std::vector<kavex::PlanView> views;
  kavex::PlanView v = canvas->View();
  for (int i = 0; i < 20; ++i)
    views.push_back(v = kavex::Zoomed(v, 1.25, {v.width / 4, v.height / 3}));
  for (int i = 0; i < 20; ++i) views.push_back(v = kavex::Panned(v, 40, -25));
  for (int i = 0; i < 20; ++i)
    views.push_back(v = kavex::Zoomed(v, 1 / 1.25, {v.width / 2, v.height / 2}));
  std::vector<double> frames, drawings;
  for (const kavex::PlanView& view : views) {
    canvas->SetView(view);
    start = std::chrono::steady_clock::now();
    const QPixmap frame = canvas->grab();
    frames.push_back(MillisecondsSince(start));
    start = std::chrono::steady_clock::now();
    const kavex::PlanDrawing d = kavex::DrawPlan(pane.Model(), canvas->View(), canvas->Style());
    drawings.push_back(MillisecondsSince(start));
  }
  // The frames over the goal, by their place in the run (the first pays for the fonts).
  std::string slow;
  for (size_t i = 0; i < frames.size(); ++i)
    if (frames[i] > 30) slow += kavex::Format(" #%zu %.1f ms", i, frames[i]);
  std::sort(frames.begin(), frames.end());
  std::sort(drawings.begin(), drawings.end());
  std::printf("kavex-plan-bench: %zu points\n", pane.Model().Points().size());
  std::printf("  reading the current data: %.1f ms\n", read);
  std::printf(
      "  repaint of %zu zooms and pans (%dx%d): median %.1f ms, worst %.1f ms (goal 30 ms)\n",
      frames.size(), canvas->width(), canvas->height(), frames[frames.size() / 2], frames.back());
  std::printf("  repaints over 30 ms:%s\n", slow.empty() ? " none" : slow.c_str());
  std::printf("  of which the plan core's drawing: median %.1f ms, worst %.1f ms\n",
              drawings[drawings.size() / 2], drawings.back());
  return 0;
}
