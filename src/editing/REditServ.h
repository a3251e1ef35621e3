#pragma once
// Topic editor controls and the pool that builds them ahead of time. Every
// topic of an open project lives in a control of its own; the pool creates
// them one per timer tick while the user works, and hands them out when a
// project's topics are loaded.
#include "errors/ErrorContext.h"

#include <QPointer>
#include <QTextEdit>
#include <QTimer>
#include <array>
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

    // Counts the changes of the document's text and formats, so that a save
    // can tell a topic unchanged since it was last written.
    quint64 changeCount() const { return m_changes; }
    // The file this text was last written to, the change count and the
    // file's size then (`saved`; empty when not written since it was
    // loaded), and the same for a save not yet committed (`pending`).
    struct TWritten {
        QString file;
        quint64 change = 0;
        qint64 size = -1;
    };
    TWritten saved, pending;

    // Handlers given by the main window (focus entry, key down).
    std::function<void(QObject *)> onEnter;
    std::function<void(QObject *, int key, Qt::KeyboardModifiers)> onKeyDown;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    int m_maxLength = 45000;
    quint64 m_changes = 0;
};

class TCREditServer : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxSlots = 100;

    TCREditServer() = default;

    TErrorContext &FInit(bool active, bool trace, quint8 destination, QWidget *parent, QObject *owner,
                         const QStringList *fontList, int timeFast, int timeSlow, int maxLength,
                         int slotCount);
    TErrorContext &FFast();
    TErrorContext &FStop();
    TErrorContext &FGet(TRichEdit *&control);

    bool initialised() const { return m_initialised; }
    bool busy() const { return m_busy; }
    QTimer *timer() const { return m_timer; }
    int slotCount() const { return m_nbREdit; }
    // The control waiting in a slot, or null.
    TRichEdit *slot(int i) const { return (i >= 0 && i < MaxSlots) ? m_slots[i].data() : nullptr; }
    TErrorContext &context() { return m_ctx; }

public slots:
    void PFillTick();

private:
    TErrorContext m_ctx;
    bool m_initialised = false;
    bool m_busy = false;
    QTimer *m_timer = nullptr;
    quint16 m_nbREdit = 0;
    int m_maxLength = 0;
    quint16 m_timeSlow = 0;
    quint16 m_timeFast = 0;
    const QStringList *m_fonts = nullptr;
    QPointer<QObject> m_owner;
    QPointer<QWidget> m_parent;
    std::array<QPointer<TRichEdit>, MaxSlots> m_slots{};
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

// The program's pool, created at start-up.
extern TCREditServer *VGGREditServer;
