#pragma once
// A topic's text as the editor shows it: a document parsed from the topic's
// stored RTF, hung on the topic while it is needed. Its own undo history
// lives in the document, so it survives going to another topic and back.
#include "model/Project.h"

#include <QFont>
#include <QTextDocument>
#include <memory>

class TTopicDocument : public TTopicText {
public:
    // Parses `rtf` (empty: a new, empty topic) with `font` standing for
    // text without an explicit font.
    TTopicDocument(const QByteArray &rtf, const QFont &font);
    ~TTopicDocument() override;

    QTextDocument *document() const { return m_doc.get(); }
    QByteArray FRtf() const override;
    quint64 changeCount() const override { return m_changes; }
    void PLoad(const QByteArray &rtf) override;

    // A topic file's bytes for a plain text.
    static QByteArray FRtfOf(const QString &plainText, const QFont &font);
    // The default font of topic text: the face (Arial when none is given)
    // at 13 points, no style.
    static QFont FDefaultFont(const QString &family);

private:
    std::unique_ptr<QTextDocument> m_doc;
    quint64 m_changes = 0;
};
