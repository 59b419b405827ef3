// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Dictionary" dialog (every keyword of the collection, with change and remove) and the
// "Change Keywords" dialog (one keyword typed or picked from the dictionary).

#include <QDialog>
#include <QStringList>

class CBrindleDoc;
class QLabel;
class QLineEdit;
class QListWidget;

// Every keyword of every bookmark, byte-ordered, each once.
QStringList AllKeywords(const CBrindleDoc& doc);

class CChangeKeywordsDlg : public QDialog {
    Q_OBJECT
  public:
    // `words` fill the dictionary list; `changing` is the word being changed ("" when adding).
    CChangeKeywordsDlg(const QStringList& words, const QString& changing,
                       QWidget* parent = nullptr);
    QString Text() const;
    QLineEdit* Edit() const { return m_edit; }
    QListWidget* List() const { return m_list; }

    // The edit keeps keyword characters only.
    static QString KeepKeywordCharacters(const QString& text);

  private:
    QLineEdit* m_edit;
    QListWidget* m_list;
};

class CDictionaryDlg : public QDialog {
    Q_OBJECT
  public:
    CDictionaryDlg(CBrindleDoc& doc, QWidget* parent = nullptr);
    QListWidget* List() const { return m_list; }
    int Count() const;
    // "Change..." and "Remove..." on the selected word.
    void Change();
    void Remove();

  private:
    void SetCount();
    void RemoveSelectedRow();
    void InsertWord(const QString& word);

    CBrindleDoc& m_doc;
    QListWidget* m_list;
    QLabel* m_count;
};
