#include "platform/ChildProcess.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace Platform {

void endWithThisProcess(QProcess &process)
{
#ifdef Q_OS_LINUX
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) // this process ended before the line above
            ::_exit(127);
    });
#else
    Q_UNUSED(process);
#endif
}

ChildProcess::ChildProcess()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setInputChannelMode(QProcess::ManagedInputChannel);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, [this] {
        m_output += m_process.readAllStandardOutput();
        // Keep only the end of very long outputs.
        if (m_output.size() > (1 << 20))
            m_output = m_output.right(1 << 19);
    });
}

int ChildProcess::start(const QString &program, const QStringList &args, const QString &workDir)
{
    QString path = program;
    // Like a command line on Windows: a bare name is looked up in the
    // working directory first, then on the search path.
    if (!program.contains(u'/')) {
        const QString local = (workDir.isEmpty() ? QString(u'.') : workDir) + u'/' + program;
        path = QFileInfo(local).isFile() ? local : QStandardPaths::findExecutable(program);
    }
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return 2;
    if (info.isDir() || !info.isExecutable())
        return 5;
    if (!workDir.isEmpty())
        m_process.setWorkingDirectory(workDir);
    m_process.start(path, args, QIODevice::ReadWrite);
    if (!m_process.waitForStarted(10000)) {
        const QProcess::ProcessError err = m_process.error();
        return err == QProcess::FailedToStart ? 5 : 1;
    }
    m_process.closeWriteChannel();
    m_started = true;
    return 0;
}

bool ChildProcess::ended()
{
    if (!m_started)
        return true;
    if (m_process.state() == QProcess::NotRunning)
        return true;
    return m_process.waitForFinished(0) || m_process.state() == QProcess::NotRunning;
}

int ChildProcess::exitCode() const
{
    if (!m_started || m_process.state() != QProcess::NotRunning || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}

void ChildProcess::release()
{
    if (ended()) {
        deleteLater();
        return;
    }
    setParent(QCoreApplication::instance());
    connect(&m_process, &QProcess::finished, this, &QObject::deleteLater);
}

} // namespace Platform
