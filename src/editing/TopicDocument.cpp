#include "editing/TopicDocument.h"

#include "editing/MarkerObjects.h"
#include "editing/RtfText.h"

#include <QTextCursor>

TTopicDocument::TTopicDocument(const QByteArray &rtf, const QFont &font) : m_doc(std::make_unique<QTextDocument>())
{
    m_doc->setDefaultFont(font);
    m_doc->setUndoRedoEnabled(false);
    if (rtf.isEmpty()) {
        // Text typed into an empty topic carries the default face and size.
        QTextCharFormat format;
        format.setFontFamilies({font.family()});
        format.setFontPointSize(font.pointSizeF() > 0 ? font.pointSizeF() : 13);
        format.setFontWeight(QFont::Normal);
        format.setFontItalic(false);
        format.setFontUnderline(false);
        QTextCursor(m_doc.get()).setBlockCharFormat(format);
    } else {
        RtfText::FReadRtf(*m_doc, rtf);
        Markers::PToObjects(*m_doc);
    }
    m_doc->setUndoRedoEnabled(true);
    m_doc->setModified(false);
    QObject::connect(m_doc.get(), &QTextDocument::contentsChanged, m_doc.get(), [this] { ++m_changes; });
}

TTopicDocument::~TTopicDocument() = default;

void TTopicDocument::PLoad(const QByteArray &rtf)
{
    RtfText::FReadRtf(*m_doc, rtf);
    Markers::PToObjects(*m_doc);
}

QByteArray TTopicDocument::FRtf() const { return RtfText::FWriteRtf(*m_doc); }

QFont TTopicDocument::FDefaultFont(const QString &family)
{
    // Without a list of faces (no window), the face the list starts with:
    // the same on every machine, never the desktop's.
    QFont font(family.isEmpty() ? QStringLiteral("Arial") : family, 13);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

QByteArray TTopicDocument::FRtfOf(const QString &plainText, const QFont &font)
{
    TTopicDocument text(QByteArray(), font);
    text.document()->setPlainText(plainText);
    return text.FRtf();
}
