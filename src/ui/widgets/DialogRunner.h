// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs modal dialogs; tests install a handler that fills in the dialog and answers it instead.

#include <QDialog>

#include <functional>

namespace brindle {

class DialogRunner {
  public:
    using Handler = std::function<int(QDialog&)>;
    // QDialog::Accepted or QDialog::Rejected.
    static int Run(QDialog& dialog) { return HandlerRef() ? HandlerRef()(dialog) : dialog.exec(); }
    static void SetHandler(Handler handler) { HandlerRef() = std::move(handler); }

  private:
    static Handler& HandlerRef() {
        static Handler handler;
        return handler;
    }
};

} // namespace brindle
