#include "TestSupport.h"

#include "editing/TopicDocument.h"

#include "platform/Paths.h"

#include <QFile>

namespace TestSupport {

Sandbox::Sandbox() : m_oldCwd(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
    Platform::setWindowsDirForTest(m_dir.path() + QStringLiteral("/config"));
}

Sandbox::~Sandbox()
{
    QDir::setCurrent(m_oldCwd);
    Platform::setWindowsDirForTest(QString());
}

QString Sandbox::path(const QString &name) const
{
    return name.isEmpty() ? m_dir.path() : m_dir.path() + u'/' + name;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

QString makeScript(const QString &path, const QByteArray &body)
{
    writeFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

int appendCommand(TCProject &project, const QString &line)
{
    project.commands.append(line);
    return int(project.commands.size()) - 1;
}

OutlineRig::OutlineRig() { tree.setEditor(&editor); }

TTopic *addTopic(TOutlineView &tree, const QString &name, const QString &text, TTopic *parent)
{
    // Whole before it enters the outline, as a page read from its file.
    auto topic = std::make_unique<TTopic>();
    topic->name = name;
    topic->PSetBytes(TTopicDocument::FRtfOf(text, tree.textFont()));
    TTopic *raw = topic.get();
    tree.project()->PPut(parent, -1, std::move(topic));
    return raw;
}

} // namespace TestSupport
