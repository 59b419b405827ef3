// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/keywords/KeywordDialogs.h"

#include "store/BrindleDoc.h"
#include "store/KeywordText.h"
#include "store/TextUtil.h"
#include "ui/widgets/DialogRunner.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr const char* kFindHint = QT_TRANSLATE_NOOP(
    "KeywordDialogs",
    "To quickly find a word,Click on the above list and type the first few letters of word");
}

QStringList AllKeywords(const CBrindleDoc& doc) {
    std::vector<std::string> words;
    for (const BookmarkRef b : doc.Bookmarks())
        brindle::SplitKeywordsInto(b.m_strKeywords, words);
    QStringList list;
    list.reserve(static_cast<qsizetype>(words.size()));
    for (const std::string& w : words)
        list << QString::fromStdString(w);
    return list;
}

// --- Change Keywords ---------------------------------------------------------------------------

CChangeKeywordsDlg::CChangeKeywordsDlg(const QStringList& words, const QString& changing,
                                       QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Change Keywords"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Change"), this));
    auto* word = new QLabel(changing, this);
    word->setObjectName(QStringLiteral("changingWord"));
    top->addWidget(word, 1);
    layout->addLayout(top);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("keywordEdit"));
    layout->addWidget(m_edit);
    connect(m_edit, &QLineEdit::textChanged, this, [this](const QString& text) {
        const QString kept = KeepKeywordCharacters(text);
        if (kept != text) {
            m_edit->setText(kept);
            m_edit->setCursorPosition(static_cast<int>(kept.size()));
        }
    });
    layout->addWidget(new QLabel(tr("Keywords Dictionary"), this));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("dictionaryList"));
    m_list->addItems(words);
    connect(m_list, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { m_edit->setText(item->text()); });
    layout->addWidget(m_list);
    auto* hint = new QLabel(QCoreApplication::translate("KeywordDialogs", kFindHint), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString CChangeKeywordsDlg::KeepKeywordCharacters(const QString& text) {
    static const QString kRemoved = QStringLiteral(".` &|!()~@#$%^*_-+=\\[]{}:;\"'<>,?/0123456789");
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text)
        if (!kRemoved.contains(c))
            kept += c;
    return kept;
}

QString CChangeKeywordsDlg::Text() const {
    return m_edit->text();
}

// --- Dictionary ------------------------------------------------------------------------------

CDictionaryDlg::CDictionaryDlg(CBrindleDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
    setWindowTitle(tr("Dictionary"));
    auto* layout = new QVBoxLayout(this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("dictionaryList"));
    m_list->addItems(AllKeywords(doc));
    layout->addWidget(m_list);
    auto* countRow = new QHBoxLayout;
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("wordCount"));
    countRow->addWidget(m_count);
    countRow->addWidget(new QLabel(tr("words"), this));
    countRow->addStretch(1);
    layout->addLayout(countRow);
    auto* hint = new QLabel(QCoreApplication::translate("KeywordDialogs", kFindHint), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* buttons = new QHBoxLayout;
    auto* change = new QPushButton(tr("Change..."), this);
    auto* remove = new QPushButton(tr("Remove..."), this);
    auto* close = new QPushButton(tr("Close"), this);
    connect(change, &QPushButton::clicked, this, &CDictionaryDlg::Change);
    connect(remove, &QPushButton::clicked, this, &CDictionaryDlg::Remove);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(change);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    SetCount();
}

int CDictionaryDlg::Count() const {
    return m_list->count();
}

void CDictionaryDlg::SetCount() {
    m_count->setText(QString::number(m_list->count()));
}

void CDictionaryDlg::RemoveSelectedRow() {
    delete m_list->takeItem(m_list->currentRow());
    SetCount();
}

void CDictionaryDlg::InsertWord(const QString& word) {
    // Byte order of UTF-8, as the keyword lists keep it; a word already listed stays once.
    const std::string key = word.toStdString();
    int row = 0;
    while (row < m_list->count()) {
        const std::string here = m_list->item(row)->text().toStdString();
        if (here == key)
            return;
        if (here > key)
            break;
        ++row;
    }
    m_list->insertItem(row, word);
}

void CDictionaryDlg::Change() {
    QListWidgetItem* item = m_list->currentItem();
    if (!item || m_list->currentRow() < 0)
        return;
    const QString old = item->text();
    QStringList others;
    for (int i = 0; i < m_list->count(); ++i)
        if (i != m_list->currentRow())
            others << m_list->item(i)->text();
    CChangeKeywordsDlg dialog(others, old, this);
    if (brindle::DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    const std::string entered = brindle::Trim(brindle::ToLower(dialog.Text().toStdString()));
    if (entered.empty()) {
        Remove();
        return;
    }
    if (entered == old.toStdString())
        return;
    m_doc.RenameKeywordCommand(old.toStdString(), entered);
    RemoveSelectedRow();
    InsertWord(QString::fromStdString(entered));
    SetCount();
}

void CDictionaryDlg::Remove() {
    QListWidgetItem* item = m_list->currentItem();
    if (!item || m_list->currentRow() < 0)
        return;
    m_doc.DeleteKeywordCommand(item->text().toStdString());
    RemoveSelectedRow();
}
