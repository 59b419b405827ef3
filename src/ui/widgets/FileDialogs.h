// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The open and save file dialogs of the program, answerable in advance by tests.

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

class QWidget;

namespace brindle {

class FileDialogs {
  public:
    // `filter` in the pipe-separated form ("Brindle Files(*.brx)|*.brx|All Files(*.*)|*.*||") or
    // as Qt filters separated by ";;".
    // `start`: the file (or folder) the dialog opens at.
    static std::optional<QString> OpenFile(QWidget* parent, const QString& title,
                                           const QString& filter, const QString& start = {});
    static std::optional<QString> SaveFile(QWidget* parent, const QString& title,
                                           const QString& fileName, const QString& filter);
    // Several files at once, in the order the dialog gives them; empty when cancelled. A queued
    // answer holds the paths separated by line feeds.
    static QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter);
    // A folder, the browser opened at `start`.
    static std::optional<QString> Folder(QWidget* parent, const QString& title,
                                         const QString& start);
    // "text|pattern|text|pattern||" to Qt's "text (pattern);;..." ("*.*" becomes "*").
    static QString QtFilter(const QString& filter);

    // For tests: while answers are queued no dialog is shown; an empty answer cancels.
    static void QueueAnswer(const QString& path);
    static std::deque<QString>& Titles();
    // The start paths of the file dialogs answered from the queue, in order.
    static std::deque<QString>& Starts();
    static void Reset();
};

} // namespace brindle
