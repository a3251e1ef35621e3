#pragma once
// The error context that every unit and every object of the program reports
// through, the error log of fixed-size records, and the registered French
// texts of the error families.
//
// Every routine enters its name on the context's call path with FEnterSub and
// ends with FReport, which stores the outcome (category 0 = success) and,
// when reporting is switched on, appends the context to the error log.
#include <QByteArray>
#include <QString>

struct TErrorContext {
    bool Active = false;     // reporting switched on for this context
    bool Trace = false;      // also record reports whose category is 0
    quint8 Destination = 1;  // 1 = error log file; 0 = message server
    quint8 Category = 1;     // 0 = success; 1 = nothing reported yet
    quint16 Code = 0;
    QString AppName;   // "KIV_HELP_21" for the help tool's own units
    QString ExeName;   // file name of the running program
    QString Unite;     // unit name
    QString SubProg;   // call path: "\FLoadPrj\FLoadPrjTopics"
    QString ObjClass;  // class of the object owning the context
    QString ObjName;
    QString Msg;       // free text of the last report
    bool TimeStamp = true;

    static constexpr int RecordSize = 2060;
    // The 2060-byte log record: little-endian, short strings as a length
    // byte and Windows-1252 bytes, unused bytes zero.
    QByteArray toRecord() const;
    // Reads a record back (log viewers, tests). Short input gives a default.
    static TErrorContext fromRecord(const QByteArray &record);
};

// Field offsets of the log record.
namespace ErrRec {
constexpr int Active = 0, Trace = 1, Destination = 2, Category = 3, Code = 4, CodeRef = 8,
              AppName = 12, ExeName = 268, Unite = 524, SubProg = 780, ObjClass = 1292,
              ObjName = 1548, Msg = 1804;
}

inline constexpr const char *KivAppName = "KIV_HELP_21";

// Initialises a unit context: reporting off, destination the log, category 1.
void FInitErrCtx(TErrorContext &ctx, const QString &appName, const QString &unitName);
// The whole start-up of a unit that has nothing else to set up: its
// context initialised with the switches, "FInit" reported as a success.
TErrorContext &FInitUnitCtx(TErrorContext &ctx, const QString &appName, const QString &unitName, bool active,
                            bool trace, quint8 destination);
// Sets the three start-up switches of a context.
void PSetSwitches(TErrorContext &ctx, bool active, bool trace, quint8 destination);
// Initialises an object context from its unit's context.
void FDeriveErrCtx(const TErrorContext &unitCtx, TErrorContext &objCtx, const QString &className,
                   const QString &objName, quint8 destination);
// Appends "\" + name to the call path; returns the length to restore.
quint8 FEnterSub(TErrorContext &ctx, const QString &name);
// Stores the outcome, logs it when reporting asks for it, restores the path.
TErrorContext &FReport(quint8 saved, TErrorContext &ctx, quint8 category, const QString &msg,
                       quint16 code);
// Appends the context's record to the error log, in the folder fixed at
// start-up (PSetErrLogDir), else in the current directory.
bool FWriteErrLog(const TErrorContext &ctx);
void PSetErrLogDir(const QString &dir);
// Where the log of a program file name lies.
QString FErrLogPath(const QString &exeName);
// The log file name for a program file name.
QString FErrLogName(const QString &exeName);

// Registers a text for (category, code); returns true when it refused.
bool FAddMsgU(quint8 category, quint16 code, const QString &text);
QString FGetMsgU(const TErrorContext *ctx);
// Shows a failure: mode 0 error box, mode 1 warning box, others nothing.
void PShowMsgU(const TErrorContext *ctx, bool show, int mode);
// Error box (error icon, OK).
void PShowError(const QString &text);

// The common start-up switches that every FInit receives.
struct TStartSwitches {
    bool Active = false;
    bool Trace = false;
    quint8 Destination = 1;
};

// Scope guard for routines that report on every exit: enters the name on
// construction. Callers still end with FReport; the guard only restores the
// call path when an exception leaves the routine.
class TSubGuard {
public:
    TSubGuard(TErrorContext &ctx, const QString &name) : m_ctx(ctx), m_saved(FEnterSub(ctx, name)) {}
    ~TSubGuard() { if (!m_done) m_ctx.SubProg.truncate(m_saved); }
    quint8 saved() const { return m_saved; }
    TErrorContext &report(quint8 category, const QString &msg = {}, quint16 code = 0)
    {
        m_done = true;
        return FReport(m_saved, m_ctx, category, msg, code);
    }

private:
    TErrorContext &m_ctx;
    quint8 m_saved;
    bool m_done = false;
};

// Where a report goes before the error log: the message server, once its
// unit has started (it installs itself; a report it does not take is
// logged). Kept as a hook, so that the error context knows nothing of it.
void PSetReportSink(bool (*sink)(const TErrorContext &));
