#pragma once
// CMacroView: the document's macros by name, with an image for their kind.

#include <QTreeWidget>

class CBrindleDoc;

class CMacroView : public QTreeWidget {
    Q_OBJECT
  public:
    explicit CMacroView(CBrindleDoc& doc, QWidget* parent = nullptr);
    // Deletes every row and inserts one per macro in document order.
    void Fill();

  private:
    CBrindleDoc& m_doc;
};
