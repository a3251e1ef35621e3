#pragma once
// The topic editor: one rich-text control that shows the current topic's
// document (see editing/OutlineView).
#include "errors/ErrorContext.h"

#include <QTextEdit>
#include <functional>

#include <QStringList>

// The rich-edit control of one topic.
class TRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TRichEdit(QWidget *parent = nullptr);

    int maxLength() const { return m_maxLength; }
    void setMaxLength(int n) { m_maxLength = n; }
    // Characters of text, not counting the final paragraph mark.
    int textLength() const;

    // Handlers given by the main window (focus entry, key down).
    std::function<void(QObject *)> onEnter;
    std::function<void(QObject *, int key, Qt::KeyboardModifiers)> onKeyDown;
    // Called with the object selected when the author opens one (a
    // double-click on it, or Enter while it alone is selected).
    std::function<void()> onOpenObject;
    // Given what is pasted or dropped: inserts the pictures it holds (a
    // picture, picture files) and says true, or leaves it to the text.
    std::function<bool(const QMimeData *)> onPictures;
    // Says what an object shows and where it leads, for its tooltip.
    std::function<QString(const QTextCharFormat &)> describeObject;

    // The position of the object under `point` (viewport coordinates), or -1.
    int objectAt(const QPoint &point) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;

private:
    void followTextBeforeObject();

    int m_maxLength = 45000;
};

namespace U_REditServ {
TErrorContext &context();
TErrorContext &FInit(bool active, bool trace, quint8 destination);
// Builds one hidden, empty topic control: parent `parent` (which it fills),
// word wrap, tabs and returns kept in the text, the first font of the list
// at 13 points. False (reported) when it cannot be built.
bool FCreateRichEdit(TRichEdit *&control, int maxLength, const QStringList *fontList,
                     QWidget *parent, QObject *owner);
} // namespace U_REditServ
