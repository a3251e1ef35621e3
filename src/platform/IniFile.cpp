#include "platform/IniFile.h"

#include "platform/SafeFile.h"

#include "platform/Cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Platform {

namespace {

bool isComment(const QString &trimmed) { return trimmed.startsWith(u';'); }

// "[Name]" gives "name"; text after a missing "]" is taken whole.
bool sectionHeader(const QString &trimmed, QString *nameLower)
{
    if (!trimmed.startsWith(u'['))
        return false;
    const qsizetype end = trimmed.indexOf(u']');
    *nameLower = (end < 0 ? trimmed.mid(1) : trimmed.mid(1, end - 1)).trimmed().toLower();
    return true;
}

QString keyOf(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || isComment(trimmed))
        return {};
    const qsizetype eq = text.indexOf(u'=');
    if (eq <= 0)
        return {};
    return text.left(eq).trimmed().toLower();
}

QString oneLine(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

} // namespace

void IniFile::Section::reindex()
{
    firstKey.clear();
    for (int i = 0; i < lines.size(); ++i)
        if (!lines[i].keyLower.isEmpty() && !firstKey.contains(lines[i].keyLower))
            firstKey.insert(lines[i].keyLower, i);
}

IniFile::IniFile(const QString &fileName) : m_fileName(fileName)
{
    m_sections.append(Section{});
    const QFileInfo info(fileName);
    if (!info.exists() && !isFileOrStaged(fileName))
        return;
    if (info.isDir())
        throw IniError("the name is a directory: " + fileName.toStdString());
    QByteArray bytes;
    QString error;
    if (!readWholeFile(fileName, &bytes, &error))
        throw IniError((fileName + QStringLiteral(": ") + error).toStdString());
    parse(bytes);
}

void IniFile::parse(const QByteArray &bytes)
{
    m_sections.clear();
    m_firstSection.clear();
    m_sections.append(Section{});
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool last = end < 0;
        if (last)
            end = n;
        qsizetype len = end - start;
        if (len > 0 && bytes.at(start + len - 1) == '\r')
            --len;
        const QString text = fromCp1252OrUtf8(bytes.constData() + start, len);
        const QString trimmed = text.trimmed();
        QString name;
        if (sectionHeader(trimmed, &name)) {
            m_sections.append(Section{name, {Line{text, {}}}, {}});
            if (!m_firstSection.contains(name))
                m_firstSection.insert(name, int(m_sections.size() - 1));
        } else {
            m_sections.last().lines.append(Line{text, keyOf(text)});
        }
        start = end + 1;
    }
    for (Section &s : m_sections)
        s.reindex();
}

const IniFile::Line *IniFile::findLine(const QString &section, const QString &key) const
{
    const auto sit = m_firstSection.constFind(section.trimmed().toLower());
    if (sit == m_firstSection.constEnd())
        return nullptr;
    const Section &s = m_sections[*sit];
    const auto kit = s.firstKey.constFind(key.trimmed().toLower());
    if (kit == s.firstKey.constEnd())
        return nullptr;
    return &s.lines[*kit];
}

QString IniFile::valueOf(const QString &lineText)
{
    QString v = lineText.mid(lineText.indexOf(u'=') + 1).trimmed();
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const Line *line = findLine(section, key);
    return line ? valueOf(line->text) : def;
}

bool IniFile::valueExists(const QString &section, const QString &key) const
{
    return findLine(section, key) != nullptr;
}

int IniFile::parseInteger(const QString &text, int def)
{
    const QString t = text.trimmed();
    bool ok = false;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const qulonglong v = t.mid(2).toULongLong(&ok, 16);
        if (!ok || t.size() == 2 || v > 0xFFFFFFFFull || t.at(2) == u'+' || t.at(2) == u'-')
            return def;
        return static_cast<int>(static_cast<quint32>(v));
    }
    const int v = t.toInt(&ok, 10);
    return ok ? v : def;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    const Line *line = findLine(section, key);
    return line ? parseInteger(valueOf(line->text), def) : def;
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString sectionLower = section.trimmed().toLower();
    const QString keyLower = key.trimmed().toLower();
    const QString text = key.trimmed() + u'=' + oneLine(value);
    m_modified = true;

    auto sit = m_firstSection.constFind(sectionLower);
    int si;
    if (sit == m_firstSection.constEnd()) {
        m_sections.append(Section{sectionLower, {Line{u'[' + section.trimmed() + u']', {}}}, {}});
        si = int(m_sections.size() - 1);
        m_firstSection.insert(sectionLower, si);
    } else {
        si = *sit;
    }
    Section &s = m_sections[si];
    const auto kit = s.firstKey.constFind(keyLower);
    if (kit != s.firstKey.constEnd()) {
        s.lines[*kit].text = text;
        return;
    }
    // A new key goes after the section's last non-blank line, so that blank
    // lines separating it from the next section stay where they are.
    qsizetype at = s.lines.size();
    while (at > 1 && s.lines[at - 1].text.trimmed().isEmpty())
        --at;
    if (si == 0)
        while (at > 0 && s.lines[at - 1].text.trimmed().isEmpty())
            --at;
    s.lines.insert(at, Line{text, keyLower});
    if (at == s.lines.size() - 1)
        s.firstKey.insert(keyLower, int(at));
    else
        s.reindex();
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray IniFile::toBytes() const
{
    QByteArray out;
    for (const Section &s : m_sections)
        for (const Line &l : s.lines) {
            out += toCp1252OrUtf8(l.text);
            out += "\r\n";
        }
    return out;
}

void IniFile::flush()
{
    if (!m_modified)
        return;
    QString error;
    if (!writeFileAtomic(m_fileName, toBytes(), &error))
        throw IniError(("cannot write " + m_fileName + ": " + error).toStdString());
    m_modified = false;
}

} // namespace Platform
