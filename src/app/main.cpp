// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BrindleApp.h"
#include "platform/DesktopIntegration.h"
#include "store/Version.h"
#include "ui/window/MainFrame.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

int main(int argc, char** argv) {
    // Answered before Qt starts, so that it works without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("brindle %s\n", brindle::Version());
            return 0;
        }
    }
#ifdef M_MMAP_THRESHOLD
    // Blocks of a megabyte and more (a large document's hit lists and sort scratch) get pages
    // of their own, given back when freed, instead of staying in the heap as the allocator's
    // rising threshold would leave them.
    (void)mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindle"));
    QApplication::setApplicationVersion(QString::fromLatin1(brindle::Version()));
    QApplication::setOrganizationName(QString());
    // Docks and task switchers (Wayland's above all) match the window to its desktop entry.
    QApplication::setDesktopFileName(QString::fromLatin1(brindle::kDesktopId));

    // --quit-after-show: end once the window has been painted (start-up timing).
    QStringList arguments = QApplication::arguments();
    const bool quitAfterShow = arguments.removeAll(QStringLiteral("--quit-after-show")) > 0;

    CBrindleApp brindle;
    if (!brindle.InitInstance(arguments))
        return brindle.HandedOver() ? 0 : 1;
    if (quitAfterShow) {
        QTimer::singleShot(0, [&brindle] {
            brindle.Frame()->repaint();
            // The time to take a large document down again is not start-up: end here.
            std::fflush(nullptr);
            std::_Exit(0);
        });
    }
    return QApplication::exec();
}
