#include "config/ConfFile.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <QFileInfo>
#include <cstring>
#include <exception>
#include <new>

TErrorContext &TCConfFile::FInit(bool active, bool trace, quint8 destination, quint16 recSize,
                                 quint16 fRecSize, quint16 recNumber, DefFunc defF,
                                 WriteFunc writeF, ReadFunc readF)
{
    FInitErrCtx(m_ctx, QString(), QStringLiteral("U_Conf"));
    m_ctx.ObjClass = QStringLiteral("TCConfFile");
    PSetSwitches(m_ctx, active, trace, destination);
    TSubGuard sub(m_ctx, QStringLiteral("FInit"));

    m_ready = false;
    m_recSize = m_fRecSize = m_recNumber = 0;
    m_writeF = nullptr;
    m_readF = nullptr;
    m_defF = nullptr;
    m_fileName.clear();
    m_defExt = QStringLiteral(".INI");
    for (int i = 0; i < MaxRecords; ++i) {
        m_rec[i].reset();
        m_defRec[i].reset();
    }

    if (recSize == 0 || recSize > 64000)
        return sub.report(6, QStringLiteral("RecSize = %1").arg(recSize), 3);
    if (fRecSize == 0 || fRecSize > 64000)
        return sub.report(6, QStringLiteral("FRecSize = %1").arg(fRecSize), 3);
    // Reset and comparison reach two bytes past the settings part: the
    // record must hold them.
    if (int(recSize) < HeaderSize + int(fRecSize) + 2)
        return sub.report(6, QStringLiteral("RecSize = %1").arg(recSize), 3);
    if (recNumber == 0 || recNumber > MaxRecords)
        return sub.report(6, QStringLiteral("RecNumber = %1").arg(recNumber), 3);
    if (!defF)
        return sub.report(6, QStringLiteral("DefF"), 5);
    if (!writeF)
        return sub.report(6, QStringLiteral("WriteF"), 5);
    if (!readF)
        return sub.report(6, QStringLiteral("ReadF"), 5);

    m_recSize = recSize;
    m_fRecSize = fRecSize;
    m_recNumber = recNumber;
    m_defF = std::move(defF);
    m_writeF = std::move(writeF);
    m_readF = std::move(readF);
    for (int i = 0; i < recNumber; ++i) {
        m_rec[i].reset(new (std::nothrow) quint8[recSize]());
        m_defRec[i].reset(new (std::nothrow) quint8[recSize]());
        if (!m_rec[i] || !m_defRec[i])
            return sub.report(8, QStringLiteral("GetMem Vi = %1").arg(i), 2);
    }
    try {
        for (int i = 0; i < recNumber; ++i) {
            m_defF(m_defRec[i].get(), i, m_fRecSize);
            std::memcpy(m_rec[i].get() + HeaderSize, m_defRec[i].get() + HeaderSize, compareSize());
        }
    } catch (const std::exception &) {
        return sub.report(2, QString(), 0);
    }
    m_ready = true;
    return sub.report(0);
}

QString TCConfFile::FGetConfFileName(const QString &fileName) const
{
    if (!fileName.isEmpty())
        return fileName;
    const QString exe = Platform::programFileName();
    const qsizetype dot = exe.lastIndexOf(u'.');
    return (dot > 0 ? exe.left(dot) : exe) + m_defExt;
}

bool TCConfFile::FReadConfFile(const QString &fileName, int index)
{
    TSubGuard sub(m_ctx, QStringLiteral("FReadConfFile"));
    if (!m_ready || index < 0 || index >= m_recNumber) {
        sub.report(3, QString(), 3);
        return false;
    }
    quint8 *rec = m_rec[index].get();
    const quint8 *def = m_defRec[index].get();
    std::memcpy(rec + HeaderSize, def + HeaderSize, compareSize());

    m_fileName = FGetConfFileName(fileName);
    std::unique_ptr<Platform::IniFile> ini;
    try {
        ini = std::make_unique<Platform::IniFile>(Platform::profilePath(m_fileName, false));
    } catch (const std::exception &) {
        sub.report(8, QStringLiteral("VIniFile := TIniFile.Create(FileName)"), 2);
        return false;
    }
    try {
        m_readF(*ini, rec, def);
    } catch (const std::exception &) {
        sub.report(2, QString(), 0);
        return false;
    }
    const bool differs = std::memcmp(rec + HeaderSize, def + HeaderSize, compareSize()) != 0;
    sub.report(0);
    return differs;
}

bool TCConfFile::FWriteConfFile(const QString &fileName, int index)
{
    TSubGuard sub(m_ctx, QStringLiteral("FWriteConfFile"));
    if (!m_ready || index < 0 || index >= m_recNumber) {
        sub.report(3, QString(), 3);
        return false;
    }
    m_fileName = FGetConfFileName(fileName);
    std::unique_ptr<Platform::IniFile> ini;
    try {
        ini = std::make_unique<Platform::IniFile>(Platform::profilePath(m_fileName, true));
    } catch (const std::exception &) {
        sub.report(8, QStringLiteral("VIniFile := TIniFile.Create( FileName )"), 2);
        return false;
    }
    try {
        m_writeF(*ini, m_rec[index].get());
    } catch (const std::exception &) {
        sub.report(2, QString(), 0);
        return false;
    }
    // The file is written whole once every key is set; a failure leaves the
    // previous file in place and is reported, never taken for success.
    try {
        ini->flush();
    } catch (const std::exception &) {
        sub.report(7, m_fileName, 12);
        return false;
    }
    sub.report(0);
    return true;
}

bool TCConfFile::FGetPt(int index, void **pt)
{
    TSubGuard sub(m_ctx, QStringLiteral("FGetPt"));
    *pt = (index >= 0 && index < MaxRecords) ? m_rec[index].get() : nullptr;
    sub.report(0);
    return *pt != nullptr;
}
