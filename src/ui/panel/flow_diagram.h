// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <vector>

#include "base/power_snapshot.h"
#include "platform/identity.h"
#include "ui/panel/flow_scene.h"

namespace wattline {

// Painters of the diagram's layers in design space.
namespace FlowPainting {
// What a lane's strokes and chevrons cover; they change only with the snapshot.
struct LaneOutlines {
  QPainterPath under;
  QColor underColor;
  QPainterPath main;
  QColor mainColor;
  QPainterPath chevrons;
  QColor chevronColor;
};
std::vector<LaneOutlines> outlines(const FlowScene::FlowLayer& layer);

void hardware(QPainter& painter, const FlowScene::Nodes& nodes);
// Every lane's strokes, in lane order.
void strokes(QPainter& painter, const std::vector<LaneOutlines>& outlines);
// What moves: each lane's dots and chevrons in lane order, then the junction.
void flow(QPainter& painter, const FlowScene::FlowLayer& layer, const std::vector<LaneOutlines>& outlines);
void nodes(QPainter& painter, const FlowScene::Nodes& nodes);
}  // namespace FlowPainting

// The animated three-node supply diagram, scaled uniformly to its width from
// the 396 x 184 design space. The hardware with the lanes' strokes, and the
// nodes, are drawn once per snapshot and size and kept; each frame redraws
// only the moving dots, chevrons and junction between them. Its clock runs at most 30 frames a second, and
// only while the diagram is shown, not paused, motion is allowed and something flows.
class FlowDiagram : public QWidget {
  Q_OBJECT
 public:
  explicit FlowDiagram(const Clock& clock, QWidget* parent = nullptr);

  void setSnapshot(const PowerSnapshot& snapshot);
  void setReduceMotion(bool reduceMotion);
  void setPaused(bool paused);
  // Draws this time (seconds) instead of the clock's.
  void setPreviewTime(std::optional<double> seconds);

  const PowerSnapshot& snapshot() const { return snapshot_; }
  bool reduceMotion() const { return reduceMotion_; }
  bool isAnimating() const { return frameTimer_.isActive(); }
  long framesPainted() const { return frames_; }

  // The part an animation frame repaints, in widget coordinates: around the flowing lanes and the junction.
  QRect movingRect() const;

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return {1, 1}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  enum class Layer { hardware, nodes };
  void reconcileClock();
  const QImage& cached(Layer layer, double scale, double ratio);

  const Clock& clock_;
  PowerSnapshot snapshot_;
  FlowScene::Nodes nodes_;
  // The lanes without motion: their strokes and chevrons.
  FlowScene::FlowLayer still_;
  std::vector<FlowPainting::LaneOutlines> outlines_;
  // Where dots, chevrons and the junction can be, in design space.
  Rect moving_;
  bool flows_ = false;
  bool reduceMotion_ = false;
  bool paused_ = false;
  std::optional<double> previewTime_;
  // A child, so that the event loop's timer list shows it under the diagram.
  QTimer frameTimer_{this};
  QImage hardware_;
  QImage front_;
  long frames_ = 0;
};

}  // namespace wattline
