// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/MessageBox.h"

#include <QCoreApplication>

namespace brindle {

namespace {
std::deque<QMessageBox::StandardButton>& Answers() {
    static std::deque<QMessageBox::StandardButton> answers;
    return answers;
}
} // namespace

std::deque<MessageBox::Asked>& MessageBox::History() {
    static std::deque<Asked> history;
    return history;
}

void MessageBox::QueueAnswer(QMessageBox::StandardButton answer) {
    Answers().push_back(answer);
}

bool MessageBox::HasQueuedAnswers() {
    return !Answers().empty();
}

void MessageBox::Reset() {
    Answers().clear();
    History().clear();
}

QMessageBox::StandardButton MessageBox::Show(QWidget* parent, const QString& text,
                                             QMessageBox::StandardButtons buttons, Icon icon) {
    if (!Answers().empty()) {
        History().push_back({text, buttons, icon});
        const auto answer = Answers().front();
        Answers().pop_front();
        return answer;
    }
    QMessageBox box(parent);
    box.setWindowTitle(QCoreApplication::translate("MessageBox", "Brindle"));
    box.setText(text);
    box.setStandardButtons(buttons);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace brindle
