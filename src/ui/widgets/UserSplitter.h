// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CUserSplitter: the splitter of the right-hand pane pair; drawing and hit-testing as any splitter,
// plus the "ideal size and minimum" layout the frame asks for.

#include <QSplitter>

class CUserSplitter : public QSplitter {
    Q_OBJECT
  public:
    using QSplitter::QSplitter;

    // Gives pane `index` the ideal size (0 hides it) with `minimum` as its smallest size, the
    // rest going to the other panes.
    void SetPaneSize(int index, int ideal, int minimum);
    int PaneSize(int index) const;
};
