// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CAddMarkPropertySheet: the tabbed dialog in which a bookmark is entered ("Add Bookmark") or
// edited ("Bookmark Properties", which can step to the previous and next bookmark of the
// collection). The sheet edits its own copies; the document takes them over only on OK, through
// Commit().

#include "store/Bookmark.h"
#include "ui/bookmarks/PropertyPages.h"
#include "ui/bookmarks/PropertyWorkingCopy.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>

class CBrindleDoc;
class QPushButton;
class QTabWidget;

class CAddMarkPropertySheet : public QDialog {
    Q_OBJECT
  public:
    // What a fetch of the page found. Empty texts leave the sheet's fields as they are; the URL
    // (it may have been redirected) replaces the sheet's when it is not empty.
    struct FetchResult {
        QString url;
        QString name;
        QString description;
        QString keywords;
    };
    // Fetches the page at `url` (a dialog owned by `parent`); nothing when it was cancelled or
    // did not finish.
    using FetchHandler =
        std::function<std::optional<FetchResult>(const QString& url, QWidget* parent)>;
    // Edits the document's schedules (a dialog owned by `parent`); the Status page refills its
    // schedule list afterwards.
    using ScheduleEditHandler = std::function<void(QWidget* parent)>;

    // "Add Bookmark", prefilled from `initial`; its empty fields take the defaults.
    CAddMarkPropertySheet(CBrindleDoc& doc, const CBookmark& initial, QWidget* parent = nullptr);
    // "Bookmark Properties" of the bookmark at collection index `index`.
    CAddMarkPropertySheet(CBrindleDoc& doc, std::uint32_t index, QWidget* parent = nullptr);
    ~CAddMarkPropertySheet() override;

    // The Fetch button runs `handler`; without one it shows disabled.
    void SetFetchHandler(FetchHandler handler);
    // The Status page's "Edit" button runs `handler`; without one it shows disabled.
    void SetScheduleEditHandler(ScheduleEditHandler handler);

    // After the sheet ended with OK: "Add Bookmark" adds the bookmark (it joins the list where
    // the current search puts it); "Bookmark Properties" hands the edited copies to the document,
    // which runs the last search again. Returns whether the document changed.
    bool Commit();

    bool IsNavigation() const { return m_navigation; }
    std::uint32_t CurrentIndex() const { return m_index; }
    // The sheet fields with the controls' values.
    brindle::SheetFields Fields() const;

    // --- Buttons and pages (also for tests) ---------------------------------------------
    void Fetch();
    void Previous();
    void Next();
    void accept() override;

    QTabWidget* Tabs() const { return m_tabs; }
    brindle::CGenPage* General() const { return m_general; }
    QPushButton* FetchButton() const { return m_fetch; }
    QPushButton* PreviousButton() const { return m_previous; }
    QPushButton* NextButton() const { return m_next; }

  private:
    explicit CAddMarkPropertySheet(CBrindleDoc& doc, QWidget* parent);
    void Build();
    void Gather();
    void Scatter();
    void LoadEntry(std::uint32_t index);
    QString FormatDate(BrxTime t) const;
    // Stores the current entry; false (after saying why, where the sheet says something) when
    // it stays as it was.
    bool StoreCurrent(bool quiet);
    void UpdateFetchButton();
    bool RefuseEmptyName(const QString& message);

    CBrindleDoc& m_doc;
    bool m_navigation = false;
    std::uint32_t m_index = 0;
    brindle::SheetFields m_fields;
    std::optional<brindle::PropertyWorkingCopy> m_working;
    FetchHandler m_fetchHandler;
    ScheduleEditHandler m_scheduleHandler;

    QTabWidget* m_tabs = nullptr;
    brindle::CGenPage* m_general = nullptr;
    brindle::CDescPage* m_description = nullptr;
    brindle::CNotePage* m_notes = nullptr;
    brindle::CAddDate* m_dates = nullptr;
    brindle::CStatusPage* m_status = nullptr;
    QPushButton* m_fetch = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
};
