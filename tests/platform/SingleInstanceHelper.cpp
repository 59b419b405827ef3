// SPDX-License-Identifier: GPL-3.0-or-later
// A minimal program over SingleInstance for the two-process tests:
//   single_instance_helper FOLDER NAME [PATH]
// Prints "primary" or "secondary", then, as the running instance, "received:<path>" for every
// hand-over; ends normally when handed the path "quit".
#include "platform/SingleInstance.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void Say(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: %s FOLDER NAME [PATH]\n", argv[0]);
        return 2;
    }
    brindle::SingleInstance instance(args[2], args[1]);
    const QString path = args.size() > 3 ? args[3] : QString();
    if (instance.Start(path) == brindle::SingleInstance::Role::Secondary) {
        Say(QStringLiteral("secondary"));
        return 0;
    }
    Say(instance.IsListening() ? QStringLiteral("primary") : QStringLiteral("primary-alone"));
    QObject::connect(&instance, &brindle::SingleInstance::activationRequested, &app,
                     [](const QString& received) {
                         Say(QStringLiteral("received:") + received);
                         if (received.endsWith(QStringLiteral("/quit")))
                             QCoreApplication::quit();
                     });
    return app.exec();
}
