#include "ui/MacroView.h"

#include "store/BrindleDoc.h"

#include <QHeaderView>

CMacroView::CMacroView(CBrindleDoc& doc, QWidget* parent) : QTreeWidget(parent), m_doc(doc) {
    setObjectName(QStringLiteral("macroList"));
    setColumnCount(1);
    setHeaderLabels({tr("Macro")});
    header()->resizeSection(0, 100);
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setIconSize(QSize(16, 16));
}

void CMacroView::Fill() {
    static const QIcon kKindIcons[] = {QIcon(), QIcon(QStringLiteral(":/icons/link.svg")),
                                       QIcon(QStringLiteral(":/icons/hash.svg")),
                                       QIcon(QStringLiteral(":/icons/text-search.svg"))};
    clear();
    for (std::size_t i = 0; i < m_doc.m_arrMacros.size(); ++i) {
        const CMacro& m = *m_doc.m_arrMacros[i];
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, QString::fromStdString(m.m_strName));
        if (m.m_nKind >= 1 && m.m_nKind <= 3)
            item->setIcon(0, kKindIcons[m.m_nKind]);
        item->setData(0, Qt::UserRole, static_cast<int>(i));
    }
}
