#pragma once
// Client side of the link to a separate message server: the error message
// manager that could carry error reports through shared memory, and the list
// of running processes used to find peers. No message server exists on this
// system, so the manager is never linked and every report goes to the error
// log; the objects are still set up at start-up as the program expects.
#include "errors/ErrorContext.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

// The item buffer shared with a message server (receiver side owns it).
class TOBuffer {
public:
    TErrorContext &FInit(bool active, bool trace, quint8 destination, quint8 role, quint16 count,
                         quint16 itemSize);
    const TErrorContext &context() const { return m_ctx; }
    qsizetype byteSize() const { return m_items.size(); }

private:
    TErrorContext m_ctx;
    QByteArray m_items;
};

class TCGestMsg : public QObject {
    Q_OBJECT
public:
    enum Role : quint8 { Emitter = 0, Receiver = 1 };

    explicit TCGestMsg(QObject *owner = nullptr) : QObject(owner) {}

    virtual quint16 FItemSize() const { return 2000; }
    virtual quint8 FKind() const { return 0; }

    // Does nothing when already initialised.
    void PInitGest(bool active, bool trace, const QString &name, quint16 count, quint8 role,
                   quint8 destination);

    bool initialised() const { return m_initialised; }
    bool linked() const { return m_linked; }
    quint8 role() const { return m_role; }
    quint16 count() const { return m_count; }
    quint16 itemSize() const { return m_itemSize; }
    quint8 kind() const { return m_kind; }
    const QString &name() const { return m_name; }
    const TOBuffer &buffer() const { return m_buffer; }

    // Sends one item to the linked receiver; false when not linked.
    bool FSendItem(const QByteArray &item);

private:
    quint16 m_count = 0;
    quint8 m_role = Emitter;
    bool m_linked = false;
    quint16 m_itemSize = 0;
    quint8 m_kind = 0;
    quint32 m_handleId = 0;
    quint32 m_peerThread = 0;
    QString m_name;
    quint16 m_itemIndex = 0;
    QByteArray m_block;
    bool m_initialised = false;
    bool m_itemHeld = false;
    TOBuffer m_buffer;
};

// Carries error reports: one 2060-byte record per item, kind 2.
class TCErrorMsg : public TCGestMsg {
    Q_OBJECT
public:
    using TCGestMsg::TCGestMsg;
    quint16 FItemSize() const override { return TErrorContext::RecordSize; }
    quint8 FKind() const override { return 2; }
};

// Running processes and their thread ids, read from /proc.
class TCTaskList {
public:
    struct Task {
        QString name;
        quint32 threadId;
    };

    TErrorContext &FInit(bool active, bool trace, quint8 destination);
    // Reloads the list; false (reported) when /proc cannot be read.
    bool FRefresh();
    const QList<Task> &tasks() const { return m_tasks; }
    // Thread ids of the processes whose name equals `name`, ignoring case.
    QList<quint32> FThreadsOf(const QString &name) const;
    const TErrorContext &context() const { return m_ctx; }
    bool ready() const { return m_ready; }

private:
    TErrorContext m_ctx;
    QList<Task> m_tasks;
    bool m_ready = false;
};

namespace U_Error {
// The error message manager, created at unit start-up, never linked here.
TCErrorMsg *VGErrorMsg();
void InitUnit();
// Sends a report to the message server when linked; false otherwise.
bool FSendReport(const TErrorContext &ctx);
} // namespace U_Error

namespace U_msg {
TCTaskList *VGTaskList();
// The message server's automation object; none exists on this system.
QObject *VGMsgServer();
void InitUnit();
void DoneUnit();
} // namespace U_msg

namespace U_TaskL {
TErrorContext &context();
TCTaskList *VGTask();
TErrorContext &FInit(bool active, bool trace, quint8 destination);
void InitUnit();
} // namespace U_TaskL
