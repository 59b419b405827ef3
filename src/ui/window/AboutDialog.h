// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The About dialog: the program's name and version, a contact address and a web address. The
// same dialog is the start-up splash.

#include <QDialog>

#include <memory>

class CHyperLink;
class QLabel;

namespace brindle {

class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr const char* kContactAddress = "mailto:brindle@example.org";
    static constexpr const char* kWebAddress = "https://www.example.org/brindle/";

    explicit AboutDialog(QWidget* parent = nullptr);

    // "&About Brindle...": modal.
    static int RunModal(QWidget* parent);
    // The start-up splash: modeless, centred on the screen, above other windows. Close it by
    // destroying it.
    static std::unique_ptr<AboutDialog> ShowSplash();

    CHyperLink* ContactLink() const { return m_contact; }
    CHyperLink* WebLink() const { return m_web; }

  private:
    CHyperLink* m_contact = nullptr;
    CHyperLink* m_web = nullptr;
};

} // namespace brindle
