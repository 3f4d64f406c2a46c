// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/flow_diagram.h"

#include <gtest/gtest.h>

#include "ui/panel/panel_rig.h"
#include "ui/style/qt_color.h"

using namespace wattline;
using namespace wattline::testing;

namespace {

struct DiagramRig {
  DiagramRig() { diagram.resize(396, 184); }
  QImage draw(const PowerSnapshot& snapshot, double time, bool reduceMotion = false) {
    diagram.setSnapshot(snapshot);
    diagram.setReduceMotion(reduceMotion);
    diagram.setPreviewTime(time);
    return *renderOffscreen(diagram, 2);
  }
  QApplication& application = testApplication();
  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(1'780'000'000)};
  FlowDiagram diagram{clock};
};

}  // namespace

TEST(FlowDiagram, HeadDotsSitWhereTheSceneSaysAndVanishWithReducedMotion) {
  DiagramRig rig;
  const PowerSnapshot charging = PowerSnapshot::demo(0, rig.clock.now());
  // At 0.5 s the adapter lane's first head is 57.5 % along (122, 94) → (170, 94).
  const QImage moving = rig.draw(charging, 0.5);
  const QColor blue = toQColor(FlowStyle::blue);
  EXPECT_TRUE(near(pixelAt(moving, 122 + 48 * 0.575, 94, 2), blue));
  // Reduced motion: no dot, but the chevron at 35 % is still drawn.
  const QImage still = rig.draw(charging, 0.5, true);
  EXPECT_FALSE(near(pixelAt(still, 122 + 48 * 0.575, 94, 2), blue));
  EXPECT_TRUE(near(pixelAt(still, 122 + 48 * 0.35 - 0.5, 94, 2), blue, 20));
  // The discharging battery's amber lane to the mainboard runs at x 176 beside the adapter.
  const QImage both = rig.draw(PowerSnapshot::demo(3, rig.clock.now()), 0, true);
  EXPECT_TRUE(near(pixelAt(both, 170, 94, 2), blue));
  // Glow at 0.06 under the stroke at 0.35, over white.
  const double cover = 1 - 0.94 * 0.65;
  const StyleColor amber = FlowStyle::amber;
  EXPECT_TRUE(near(pixelAt(both, 176, 80, 2),
                   QColor::fromRgbF(1 - cover * (1 - amber.red), 1 - cover * (1 - amber.green),
                                    1 - cover * (1 - amber.blue))));
  EXPECT_EQ(rig.diagram.accessibleName().toStdString(),
            FlowScene::accessibilityLabel(PowerSnapshot::demo(3, rig.clock.now())));
}

TEST(FlowDiagram, ClockRunsOnlyWhileShownUnpausedAndMoving) {
  DiagramRig rig;
  rig.diagram.setSnapshot(PowerSnapshot::demo(0, rig.clock.now()));
  EXPECT_FALSE(rig.diagram.isAnimating());  // not shown
  rig.diagram.show();
  EXPECT_TRUE(rig.diagram.isAnimating());
  rig.diagram.setPaused(true);
  EXPECT_FALSE(rig.diagram.isAnimating());
  rig.diagram.setPaused(false);
  rig.diagram.setReduceMotion(true);
  EXPECT_FALSE(rig.diagram.isAnimating());
  rig.diagram.setReduceMotion(false);
  // Nothing flows in an empty snapshot.
  rig.diagram.setSnapshot(PowerSnapshot());
  EXPECT_FALSE(rig.diagram.isAnimating());
  rig.diagram.setSnapshot(PowerSnapshot::demo(0, rig.clock.now()));

  // At most 30 frames a second while running.
  const long before = rig.diagram.framesPainted();
  const qint64 elapsed = runEventsFor(400);
  const long frames = rig.diagram.framesPainted() - before;
  EXPECT_GE(frames, 3);
  EXPECT_LE(frames, 0.03 * elapsed + 2);
  rig.diagram.hide();
  EXPECT_EQ(activeTimers(rig.diagram), 0);
}
