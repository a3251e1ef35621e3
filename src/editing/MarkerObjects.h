#pragma once
// Markers as the editor shows them. A topic file holds each picture, jump,
// pop-up and program call as a marker ("@_n_label_@") whose number names a
// line of the project's command list; the command line is the truth. In a
// shown document each marker is one character, an inline object that keeps
// the marker's text and its format: the caret steps over it, Backspace
// takes it whole, and the writer turns it back into the same marker.
// The object draws what the reader will see: the picture, or the visible
// text of a jump (solid underline), a pop-up (dotted underline) or a
// program call (with a small mark), read from its command line.
#include <QFileSystemWatcher>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QTextCharFormat>
#include <QTextObjectInterface>
#include <functional>

class QTextDocument;

namespace Markers {

// The object type and the property that holds the marker's text.
constexpr int ObjectType = QTextFormat::UserObject + 1;
constexpr int MarkerProperty = QTextFormat::UserProperty + 1;

// A marker's parts, as the help source writer reads them: the number runs
// to the next "_", the marker ends at the first "_@" after its start.
struct TMarker {
    int command = -1;
    QString label;
};
bool FParse(const QString &marker, TMarker *out);

// Turns each marker that lies within one run of the document into an
// object (no undo step, no change counted by the caller's counters when
// it blocks signals). Markers cut by a change of format stay text.
void PToObjects(QTextDocument &doc);
// The format of the object for `marker`, shown in `textFormat`.
QTextCharFormat FObjectFormat(const QTextCharFormat &textFormat, const QString &marker);
// The marker an object's format stands for; empty for any other format.
QString FMarkerOf(const QTextCharFormat &format);
// The format the marker had as text (the object's format without the
// object's own properties).
QTextCharFormat FTextFormat(const QTextCharFormat &format);
// The text with each object written back as its marker.
QString FWithMarkers(const QString &text, const QList<QPair<int, QString>> &objects);
// The document's text as its topic file holds it: objects as markers.
QString FPlainText(const QTextDocument &doc);
// A text with each marker as the one character its object is (what the
// editor's text holds, so what a search may match).
QString FWithoutMarkers(const QString &text);

// What a command line shows.
enum class TKind { Picture, Jump, Popup, Program, Other };
struct TShown {
    TKind kind = TKind::Other;
    QString text;   // the visible text (the file, for a picture)
    QString target; // the context, the program call, or the picture's file
    QString picture; // a link that shows a picture: the picture's file
};
TShown FShownOf(const QString &commandLine);

// Draws the objects of the documents it is registered on.
class TObjectPainter : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    explicit TObjectPainter(QObject *parent = nullptr);

    // The command list the markers name, and where pictures are.
    void setCommands(const QStringList *commands) { m_commands = commands; }
    void setPictureFolder(const QString &folder);
    // Tells whether a jump's or pop-up's target is a page of the help; a
    // link to no page is drawn as broken (red, wavy).
    void setPageExists(std::function<bool(const QString &)> exists) { m_pageExists = std::move(exists); }
    bool isBroken(const TShown &shown) const;
    // Makes the objects of `doc` drawn by this painter.
    void attach(QTextDocument *doc);

    QSizeF intrinsicSize(QTextDocument *doc, int position, const QTextFormat &format) override;
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *doc, int position,
                    const QTextFormat &format) override;
    // The command line shown for an object, or Other with the marker.
    TShown shownOf(const QTextFormat &format) const;

signals:
    // A picture file was added, replaced or removed: what shows pictures
    // lays them out again.
    void picturesChanged();

private:
    QImage pictureOf(const QString &file) const;
    void forgetPictures();

    QFileSystemWatcher *m_watch;
    std::function<bool(const QString &)> m_pageExists;

    const QStringList *m_commands = nullptr;
    QString m_pictures;
    // Pictures read once, not at every layout and paint.
    mutable QHash<QString, QImage> m_images;
};

} // namespace Markers
