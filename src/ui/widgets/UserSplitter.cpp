// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/UserSplitter.h"

void CUserSplitter::SetPaneSize(int index, int ideal, int minimum) {
    if (index < 0 || index >= count())
        return;
    QWidget* pane = widget(index);
    if (ideal <= 0) {
        pane->setMinimumSize(0, 0);
        pane->hide();
    } else {
        pane->show();
        if (orientation() == Qt::Horizontal)
            pane->setMinimumWidth(minimum);
        else
            pane->setMinimumHeight(minimum);
    }
    QList<int> sizes = this->sizes();
    // Before the first layout the splitter is tiny: lay out as if it had room for the panes.
    const int total =
        std::max(orientation() == Qt::Horizontal ? width() : height(), std::max(0, ideal) + 500);
    int rest = total - std::max(0, ideal);
    for (int i = 0; i < sizes.size(); ++i)
        sizes[i] = i == index ? std::max(0, ideal)
                              : std::max(0, rest / std::max(1, int(sizes.size()) - 1));
    setSizes(sizes);
}

int CUserSplitter::PaneSize(int index) const {
    if (index < 0 || index >= count() || widget(index)->isHidden())
        return 0;
    const QList<int> s = sizes();
    return index < s.size() ? s[index] : 0;
}
