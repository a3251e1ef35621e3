#include "errors/MessageManager.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>

TErrorContext &TOBuffer::FInit(bool active, bool trace, quint8 destination, quint8 role,
                               quint16 count, quint16 itemSize)
{
    TErrorContext unit;
    FInitErrCtx(unit, QString(), QStringLiteral("U_BUFFER"));
    FDeriveErrCtx(unit, m_ctx, QStringLiteral("TOBuffer"), QString(), destination);
    PSetSwitches(m_ctx, active, trace, destination);
    TSubGuard sub(m_ctx, QStringLiteral("FInit"));
    // An emitter writes into the receiver's buffer once linked: it owns none.
    if (role == TCGestMsg::Receiver)
        m_items = QByteArray(int(count) * int(itemSize), '\0');
    return sub.report(0);
}

void TCGestMsg::PInitGest(bool active, bool trace, const QString &name, quint16 count, quint8 role,
                          quint8 destination)
{
    if (m_initialised)
        return;
    m_initialised = true;
    m_role = role;
    m_count = count;
    m_itemSize = FItemSize();
    m_kind = FKind();
    m_linked = false;
    m_itemIndex = 0;
    m_itemHeld = false;
    m_name = name.left(255);
    m_block = QByteArray(m_itemSize, '\0');
    m_buffer.FInit(active, trace, destination, role, count, m_itemSize);
}

bool TCGestMsg::FSendItem(const QByteArray &item)
{
    if (!m_linked || m_role != Emitter)
        return false;
    m_block = item.left(m_itemSize);
    return false; // no transport exists on this system
}

// ---- process list ----

TErrorContext &TCTaskList::FInit(bool active, bool trace, quint8 destination)
{
    FDeriveErrCtx(U_TaskL::context(), m_ctx, QStringLiteral("TCTaskList"), QString(), destination);
    PSetSwitches(m_ctx, active, trace, destination);
    TSubGuard sub(m_ctx, QStringLiteral("FInit"));
    m_tasks.clear();
    m_ready = true;
    return sub.report(0);
}

bool TCTaskList::FRefresh()
{
    TSubGuard sub(m_ctx, QStringLiteral("FRefresh"));
    QDir proc(QStringLiteral("/proc"));
    if (!proc.exists()) {
        sub.report(7, QStringLiteral("/proc"), 15);
        return false;
    }
    m_tasks.clear();
    const QStringList pids = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        bool numeric = false;
        pid.toUInt(&numeric);
        if (!numeric)
            continue;
        QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly))
            continue; // the process ended meanwhile
        const QString name = QString::fromLocal8Bit(comm.readAll()).trimmed();
        const QStringList tids =
            QDir(proc.filePath(pid + QStringLiteral("/task"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &tid : tids) {
            bool ok = false;
            const quint32 id = tid.toUInt(&ok);
            if (ok)
                m_tasks.append(Task{name, id});
        }
    }
    sub.report(0);
    return true;
}

QList<quint32> TCTaskList::FThreadsOf(const QString &name) const
{
    QList<quint32> out;
    for (const Task &t : m_tasks)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            out.append(t.threadId);
    return out;
}

// ---- units ----

namespace U_Error {
namespace {
TCErrorMsg *g_errorMsg = nullptr;
}

TCErrorMsg *VGErrorMsg() { return g_errorMsg; }

void InitUnit()
{
    if (g_errorMsg)
        return;
    g_errorMsg = new TCErrorMsg(nullptr);
    g_errorMsg->PInitGest(false, false, QStringLiteral("U_ERROR.PAS"), 100, TCGestMsg::Emitter, 1);
    PSetReportSink(&FSendReport);
}

bool FSendReport(const TErrorContext &ctx)
{
    if (!g_errorMsg || !g_errorMsg->linked())
        return false;
    return g_errorMsg->FSendItem(ctx.toRecord());
}
} // namespace U_Error

namespace U_msg {
namespace {
TCTaskList *g_taskList = nullptr;
QObject *g_server = nullptr;

// The message server's automation object cannot be created here: there is
// no such server on this system, and the caller goes on without it.
QObject *createAutomationObject(const QString &) { return nullptr; }
} // namespace

TCTaskList *VGTaskList() { return g_taskList; }
QObject *VGMsgServer() { return g_server; }

void InitUnit()
{
    if (!g_taskList) {
        g_taskList = new TCTaskList;
        g_taskList->FInit(true, false, 1);
    }
    if (Platform::programFileName().compare(QStringLiteral("MSG_SERV.EXE"), Qt::CaseInsensitive) != 0)
        g_server = createAutomationObject(QStringLiteral("TCFMapServ"));
}

void DoneUnit()
{
    delete g_server;
    g_server = nullptr;
}
} // namespace U_msg

namespace U_TaskL {
namespace {
TErrorContext g_ctx;
TCTaskList *g_task = nullptr;
} // namespace

TErrorContext &context()
{
    // Objects of the unit may be set up before the unit's own start-up.
    static const bool initialised = [] {
        FInitErrCtx(g_ctx, QString(), QStringLiteral("U_TaskL"));
        return true;
    }();
    Q_UNUSED(initialised);
    return g_ctx;
}
TCTaskList *VGTask() { return g_task; }

TErrorContext &FInit(bool active, bool trace, quint8 destination)
{
    FInitErrCtx(g_ctx, QString(), QStringLiteral("U_TaskL"));
    PSetSwitches(g_ctx, active, trace, destination);
    TSubGuard sub(g_ctx, QStringLiteral("FInit"));
    if (!g_task) {
        g_task = new (std::nothrow) TCTaskList;
        if (!g_task)
            return sub.report(8, QStringLiteral("VGTask := TCTaskList.Create"), 2);
        g_task->FInit(active, trace, destination);
    }
    return sub.report(0);
}

void InitUnit()
{
    g_task = nullptr;
    FInit(true, false, 1);
}
} // namespace U_TaskL
