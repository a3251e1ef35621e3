#pragma once
// INI files read and written by section and key, with the behaviour of the
// Windows private-profile functions: sections and keys are matched without
// regard to letter case and the first match wins; values are taken trimmed,
// with matching quotes stripped; integers are decimal or 0x-hexadecimal, and
// anything else reads as the default. Writing a key keeps every other line of
// the file (comments, unknown keys, their order). Files are Windows-1252 with
// CR LF line ends; a missing file reads as all defaults.
#include <QHash>
#include <QList>
#include <QString>
#include <stdexcept>

namespace Platform {

class IniError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IniFile {
public:
    // Loads the file when it exists. Throws IniError when it exists but
    // cannot be read (a directory, no permission).
    explicit IniFile(const QString &fileName);

    const QString &fileName() const { return m_fileName; }

    QString readString(const QString &section, const QString &key, const QString &def) const;
    int readInteger(const QString &section, const QString &key, int def) const;
    bool readBool(const QString &section, const QString &key, bool def) const;
    bool valueExists(const QString &section, const QString &key) const;

    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // Writes the file (temporary file, then rename) when a key was written.
    // Throws IniError when it cannot be written; the old file then stays.
    void flush();
    bool modified() const { return m_modified; }

    // The file's content as it would be written.
    QByteArray toBytes() const;
    // Parses INI text; used by the constructor and by tests.
    void parse(const QByteArray &bytes);

    // Integer parsing of the private-profile functions.
    static int parseInteger(const QString &text, int def);

private:
    struct Line {
        QString text;
        QString keyLower; // empty when the line holds no key
    };
    struct Section {
        QString nameLower;
        QList<Line> lines; // lines[0] is the header, except for the preamble
        QHash<QString, int> firstKey;
        void reindex();
    };

    const Line *findLine(const QString &section, const QString &key) const;
    static QString valueOf(const QString &lineText);

    QString m_fileName;
    QList<Section> m_sections; // m_sections[0]: lines before the first header
    QHash<QString, int> m_firstSection;
    bool m_modified = false;
};

} // namespace Platform
