#pragma once
// The titles dialog (how topic titles are written into the help file) and
// the floating font selection window.
#include "config/Globale.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QSpinBox;

class TFormTitle : public QDialog {
    Q_OBJECT
public:
    explicit TFormTitle(QWidget *parent = nullptr);

    void PFill(int topicIndex, const QString &topicName, const TConfBlock *conf);
    // Stores the choices; false (and "Erreur" shown) when the topic's file
    // is missing, then nothing is stored.
    bool PStore(QPlainTextEdit *workMemo, TConfBlock *conf);
    void PSetFontList(const QStringList &fonts);
    bool Confirmed = false;

    // The number of a font in the font table line of a topic's RTF text;
    // 0 when the name is not there.
    static int FFontNumber(const QString &fontTableLine, const QString &name);
    // "\fs60" gives 30.
    static int FSizeOf(const QString &sizeField);

private:
    QCheckBox *m_addTitle;
    QCheckBox *m_sameFont;
    QComboBox *m_sameFontName;
    QSpinBox *m_sameFontSize;
    QLabel *m_sameSample;
    QComboBox *m_topicFontName;
    QSpinBox *m_topicFontSize;
    QLabel *m_topicSample;
    int m_topic = 0;
    QString m_topicName;
};

class TFrmSelFont : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSelFont(QWidget *parent = nullptr);

    void PFill(const QStringList &fonts);
    // Selects the name at `index` and sets the size; the size change this
    // makes is not taken for the user's.
    void PSet(int index, int size);
    void FRead(QString *name, int *index, int *size) const;

    // What the main window does when the user changes the name or size here.
    std::function<void(int index, int size)> onNameChange;
    std::function<void(int index, int size)> onSizeChange;
    bool IgnoreSizeChange = false;

private:
    QComboBox *m_name;
    QSpinBox *m_size;
};
