// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/FileDialogs.h"

#include <QFileDialog>

namespace brindle {

namespace {
std::deque<QString>& Answers() {
    static std::deque<QString> answers;
    return answers;
}

std::optional<QString> TakeAnswer(const QString& title) {
    FileDialogs::Titles().push_back(title);
    const QString answer = Answers().front();
    Answers().pop_front();
    if (answer.isEmpty())
        return std::nullopt;
    return answer;
}
} // namespace

std::deque<QString>& FileDialogs::Titles() {
    static std::deque<QString> titles;
    return titles;
}

std::deque<QString>& FileDialogs::Starts() {
    static std::deque<QString> starts;
    return starts;
}

void FileDialogs::QueueAnswer(const QString& path) {
    Answers().push_back(path);
}

void FileDialogs::Reset() {
    Answers().clear();
    Titles().clear();
    Starts().clear();
}

QString FileDialogs::QtFilter(const QString& filter) {
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString text = parts[i];
        QString pattern = parts[i + 1];
        pattern.replace(QStringLiteral("*.*"), QStringLiteral("*")); // every file, dot or not
        const int paren = text.indexOf(QLatin1Char('('));
        if (paren >= 0)
            text = text.left(paren).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(
            text, pattern.replace(QLatin1Char(';'), QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> FileDialogs::OpenFile(QWidget* parent, const QString& title,
                                             const QString& filter, const QString& start) {
    if (!Answers().empty()) {
        Starts().push_back(start);
        return TakeAnswer(title);
    }
    const QString path = QFileDialog::getOpenFileName(parent, title, start, QtFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> FileDialogs::SaveFile(QWidget* parent, const QString& title,
                                             const QString& fileName, const QString& filter) {
    if (!Answers().empty()) {
        Starts().push_back(fileName);
        return TakeAnswer(title);
    }
    const QString path = QFileDialog::getSaveFileName(parent, title, fileName, QtFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

QStringList FileDialogs::OpenFiles(QWidget* parent, const QString& title, const QString& filter) {
    if (!Answers().empty()) {
        const std::optional<QString> answer = TakeAnswer(title);
        return answer ? answer->split(QLatin1Char('\n'), Qt::SkipEmptyParts) : QStringList();
    }
    return QFileDialog::getOpenFileNames(parent, title, QString(), QtFilter(filter));
}

std::optional<QString> FileDialogs::Folder(QWidget* parent, const QString& title,
                                           const QString& start) {
    if (!Answers().empty()) {
        Starts().push_back(start);
        return TakeAnswer(title);
    }
    const QString path = QFileDialog::getExistingDirectory(parent, title, start);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace brindle
