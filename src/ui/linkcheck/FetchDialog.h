// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// FetchDialog: reads one page for the bookmark being edited and hands back its title, keywords
// and description, showing the request's progress while it runs. Cancelling while it runs
// aborts the request; nothing arrives later.

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>

struct CPreferences;
class QLabel;
class QProgressBar;
class QPushButton;

namespace brindle {

class NetProber;
class NetSession;
struct ProbeResult;

// What the dialog found. `fetched` is false when the page could not be read (the URL may still
// have moved).
struct FetchedPage {
    bool fetched = false;
    QString name;        // the page's title; "" when it has none (keep the old name)
    QString keywords;    // lower-cased, blanks between; append after one blank when not ""
    QString description; // replaces the description when the page was fetched
    QString url;         // the URL after permanent redirects (301, 308)
    int keywordCount = 0;
};

class FetchDialog : public QDialog {
    Q_OBJECT
  public:
    // Runs the dialog modally for `url` with the session settings of `prefs`. Returns what was
    // fetched when the user closed it with OK after the fetch ended, nothing when cancelled.
    static std::optional<FetchedPage> Run(QWidget* parent, const QString& url,
                                          const CPreferences& prefs);

    FetchDialog(const QString& url, const CPreferences& prefs, QWidget* parent = nullptr);
    ~FetchDialog() override;

    bool IsDone() const { return m_done; }
    const FetchedPage& Result() const { return m_page; }
    QString ProgressText() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void StartFetch();
    void OnDone(const ProbeResult& result);
    void SetProgress(const QString& text);

    const CPreferences& m_prefs;
    FetchedPage m_page;
    bool m_started = false;
    bool m_done = false;
    QProgressBar* m_animation = nullptr;
    QLabel* m_text = nullptr;
    QPushButton* m_button = nullptr;
    std::unique_ptr<NetSession> m_session;
    std::unique_ptr<NetProber> m_prober;
};

} // namespace brindle
