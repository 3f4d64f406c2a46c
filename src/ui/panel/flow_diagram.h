#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "platform/identity.h"
#include "power/power_snapshot.h"
#include "ui/panel/flow_scene.h"

namespace wattline {

// The animated three-node supply diagram, scaled uniformly to its width from
// the 396 x 184 design space. The hardware layer and the nodes are drawn once
// per snapshot and kept; each frame redraws only the moving lanes between
// them. Its clock runs at most 30 frames a second, and only while the diagram
// is shown, not paused, motion is allowed and something flows.
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

  // The part an animation frame repaints, in widget coordinates.
  QRect flowRect() const;

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

// Painters of the three layers in design space.
namespace FlowPainting {
void hardware(QPainter& painter, const FlowScene::Nodes& nodes);
void flow(QPainter& painter, const FlowScene::FlowLayer& layer);
void nodes(QPainter& painter, const FlowScene::Nodes& nodes);
}  // namespace FlowPainting

}  // namespace wattline
