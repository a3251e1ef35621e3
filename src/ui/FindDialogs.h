#pragma once
// The modeless find and replace dialogs of the topic editor. Each button
// press hands the dialog's text and options to whoever listens.
#include "project/ClipFind.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget *parent = nullptr, bool withReplace = false);

    KIVHelpTools::TFindOptions options() const;
    QLineEdit *findEdit() const { return m_find; }
    QLineEdit *replaceEdit() const { return m_replace; }

signals:
    // "Suivant": find the next match.
    void findNext(const KIVHelpTools::TFindOptions &options);
    // "Remplacer" (replace set) and "Remplacer tout" (replaceAll set).
    void replaceRequested(const KIVHelpTools::TFindOptions &options);

private:
    QLineEdit *m_find = nullptr;
    QLineEdit *m_replace = nullptr;
    QCheckBox *m_matchCase = nullptr;
    QCheckBox *m_wholeWord = nullptr;
    QCheckBox *m_allTopics = nullptr;
    QRadioButton *m_down = nullptr;
};
