#pragma once
// A small set of fixed-size settings records kept in memory, each with a copy
// holding its defaults, moved to and from INI files by three routines that
// the owner supplies (defaults, read, write). The records are raw bytes: a
// 256-byte header the program does not use, then the settings part, whose
// field positions the owner's record layouts fix.
#include "errors/ErrorContext.h"

#include <functional>
#include <memory>

namespace Platform {
class IniFile;
}

class TCConfFile {
public:
    static constexpr int MaxRecords = 10;
    static constexpr int HeaderSize = 256;

    using DefFunc = std::function<quint16(quint8 *defRec, int index, quint16 fRecSize)>;
    using ReadFunc = std::function<void(Platform::IniFile &ini, quint8 *rec, const quint8 *defRec)>;
    using WriteFunc = std::function<void(Platform::IniFile &ini, const quint8 *rec)>;

    TErrorContext &FInit(bool active, bool trace, quint8 destination, quint16 recSize,
                         quint16 fRecSize, quint16 recNumber, DefFunc defF, WriteFunc writeF,
                         ReadFunc readF);
    // Resets record `index` to its defaults, then reads the file over it.
    // True when the file supplied a value other than a default.
    bool FReadConfFile(const QString &fileName, int index);
    bool FWriteConfFile(const QString &fileName, int index);
    bool FGetPt(int index, void **pt);

    // The file that an empty name stands for: the program's base name with
    // the default extension.
    QString FGetConfFileName(const QString &fileName) const;

    TErrorContext &context() { return m_ctx; }
    bool ready() const { return m_ready; }
    const QString &fileName() const { return m_fileName; }
    quint16 recSize() const { return m_recSize; }
    quint16 fRecSize() const { return m_fRecSize; }
    const quint8 *defaultRecord(int index) const { return m_defRec[index].get(); }

private:
    // Reset and comparison cover the settings part and the two bytes after it.
    size_t compareSize() const { return size_t(m_fRecSize) + 2; }

    TErrorContext m_ctx;
    bool m_ready = false;
    quint16 m_recSize = 0;
    quint16 m_fRecSize = 0;
    quint16 m_recNumber = 0;
    WriteFunc m_writeF;
    ReadFunc m_readF;
    DefFunc m_defF;
    std::unique_ptr<quint8[]> m_rec[MaxRecords];
    std::unique_ptr<quint8[]> m_defRec[MaxRecords];
    QString m_fileName;
    QString m_defExt = QStringLiteral(".INI");
};
