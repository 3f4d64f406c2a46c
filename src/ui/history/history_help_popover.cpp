// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_help_popover.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/history/history_widgets.h"

namespace wattline {

HistoryHelpPopover::HistoryHelpPopover(QWidget* parent) : HistoryPopover(parent, 350) {
  addHeadline(QStringLiteral("读懂这张图"));
  const char* const paragraphs[] = {
      "悬停或拖动曲线查看某秒；放大、缩小围绕游标，前移、后移移动半个窗口。"
      "概览与滑块可浏览七天。聚焦曲线后，左右方向键逐秒移动，上下方向键缩放。",
      "每秒最多一条原始记录。时间分辨率不等于传感器精度；"
      "CPU/GPU 为系统模型的区间平均估算，背光仅含内置屏。分项不能相加当作整机总量。",
      "W 是功率；Wh 是连续有效样本按实际时间积分的耗电。休眠、退出、跳秒、无效值和调时均中断积分。"
      "总量仅代表已覆盖部分，1 kWh = 1000 Wh。",
      "浅橙底表示缺口；不跨缺口连接曲线，不伪造零值。"
      "选中卡保留直接采样 / 系统缓存 / 估算来源，源时间可悬停查看完整时间。",
  };
  for (const char* paragraph : paragraphs) {
    QLabel* text = HistoryWidgets::label(QString::fromUtf8(paragraph), 12, Fonts::Weight::regular,
                                         SystemColors::label, this);
    text->setWordWrap(true);
    content()->addWidget(text);
  }
}

}  // namespace wattline
