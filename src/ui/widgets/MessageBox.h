// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every message box of the program goes through here, so that tests can answer them in advance
// and read what was asked.

#include <QMessageBox>
#include <QString>

#include <deque>
#include <functional>

class QWidget;

namespace brindle {

class MessageBox {
  public:
    enum class Icon { None, Information, Question, Exclamation, Stop };

    // Shows `text` with the given buttons and icon; returns the button chosen.
    static QMessageBox::StandardButton Show(QWidget* parent, const QString& text,
                                            QMessageBox::StandardButtons buttons, Icon icon);
    static void Exclamation(QWidget* parent, const QString& text) {
        Show(parent, text, QMessageBox::Ok, Icon::Exclamation);
    }
    static void Information(QWidget* parent, const QString& text) {
        Show(parent, text, QMessageBox::Ok, Icon::Information);
    }

    // --- For tests ----------------------------------------------------------------------
    struct Asked {
        QString text;
        QMessageBox::StandardButtons buttons;
        Icon icon;
    };
    // While answers are queued, no box is shown: each Show takes the next answer instead.
    static void QueueAnswer(QMessageBox::StandardButton answer);
    static bool HasQueuedAnswers();
    // What was asked while answering from the queue, oldest first.
    static std::deque<Asked>& History();
    static void Reset();
};

} // namespace brindle
