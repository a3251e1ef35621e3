#pragma once
// An external program started with an argument list (never through a shell)
// and polled without blocking. Its output channels are merged and drained
// into a buffer so that a full pipe never stalls it.
#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>

namespace Platform {

// The program `process` starts ends when this process ends, even killed
// (Linux): a tool working for a build (chmcmd) never outlives it and never
// writes into the files of the next build.
void endWithThisProcess(QProcess &process);

class ChildProcess : public QObject {
    Q_OBJECT
public:
    ChildProcess();

    // Starts the program; 0 on success, else a Windows-style error code:
    // 2 file not found, 5 access denied, 1 any other failure.
    int start(const QString &program, const QStringList &args, const QString &workDir = {});
    // True once the process has ended (tests without waiting).
    bool ended();
    QByteArray output() const { return m_output; }
    // Once ended: the program's exit code, -1 when it crashed or never ran.
    int exitCode() const;
    // Hands the object over to itself: a process still running is left
    // running and the object is deleted when it ends (or at program end).
    void release();

private:
    QProcess m_process;
    QByteArray m_output;
    bool m_started = false;
};

} // namespace Platform
