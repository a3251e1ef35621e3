#pragma once
// The outline's edits as undoable commands: adding, deleting, emptying,
// moving and renaming a page. Each is pushed on the outline's undo stack
// (which does it), and the Edition menu undoes and redoes them. A page's
// title format (topic n of the fonts file) follows its page.
#include "config/Globale.h"
#include "editing/OutlineView.h"

#include <QUndoCommand>
#include <memory>

namespace KIVHelpTools {

class TOutlineEdit : public QUndoCommand {
public:
    TOutlineEdit(TOutlineView *outline, TFontsRec *fonts, const QString &text)
        : QUndoCommand(text), m_outline(outline), m_fonts(fonts) {}

protected:
    TCProject *project() const { return m_outline->project(); }
    // Runs a change of the outline; the title formats follow their pages.
    template <class F> void followed(F change);

    TOutlineView *m_outline;
    TFontsRec *m_fonts;
};

// A new page `name`, child number `row` of `parent` (-1: the last), with
// these bytes.
class TAddEdit : public TOutlineEdit {
public:
    TAddEdit(TOutlineView *outline, TFontsRec *fonts, TTopic *parent, int row, const QString &name, const QByteArray &rtf);
    void redo() override;
    void undo() override;

private:
    TTopic *m_parent;
    int m_row;
    TTopic *m_topic = nullptr;
    std::unique_ptr<TTopic> m_held;
};

class TDeleteEdit : public TOutlineEdit {
public:
    TDeleteEdit(TOutlineView *outline, TFontsRec *fonts, TTopic *topic);
    void redo() override;
    void undo() override;

private:
    TTopic *m_topic;
    TTopic *m_parent;
    int m_row;
    std::unique_ptr<TTopic> m_held;
};

// The page's text becomes `text`; undone, it is the text it had.
class TReplaceTextEdit : public TOutlineEdit {
public:
    TReplaceTextEdit(TOutlineView *outline, TTopic *topic, const QString &text, const QString &caption);
    void redo() override;
    void undo() override;

private:
    TTopic *m_topic;
    QString m_text;
    QByteArray m_before;
};

// In each page, the links whose marker starts with one of `markers`
// ("@_12_") become their visible text; undone, the pages are as they were.
class TUnlinkEdit : public TOutlineEdit {
public:
    TUnlinkEdit(TOutlineView *outline, const QList<TTopic *> &pages, const QStringList &markers);
    void redo() override;
    void undo() override;

private:
    QList<TTopic *> m_pages;
    QStringList m_markers;
    QList<QByteArray> m_before;
};

// Makes the page child number `row` of `parent` (null: the top level),
// `row` counted before the page is taken out.
class TPlaceEdit : public TOutlineEdit {
public:
    TPlaceEdit(TOutlineView *outline, TFontsRec *fonts, TTopic *topic, TTopic *parent, int row);
    void redo() override;
    void undo() override;

private:
    void place(TTopic *parent, int row);
    TTopic *m_topic;
    TTopic *m_toParent, *m_fromParent;
    int m_toRow, m_fromRow;
};

// The page's new name, the command lines that follow it and its title
// line when that is its name.
class TRenameEdit : public TOutlineEdit {
public:
    TRenameEdit(TOutlineView *outline, TTopic *topic, const QString &newName, const QStringList &newCommands);
    void redo() override;
    void undo() override;

private:
    void apply(const QString &from, const QString &to, const QStringList &commands);
    TTopic *m_topic;
    QString m_old, m_new;
    QStringList m_oldCommands, m_newCommands;
};

} // namespace KIVHelpTools
