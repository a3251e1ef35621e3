#pragma once
// The program settings and project settings dialogs: filled from the
// settings, shown modally, stored back only when confirmed.
#include "config/Globale.h"

#include <QColor>
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

class TFrmSoftConf : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSoftConf(QWidget *parent = nullptr);
    void PFill(const TConfBlock *conf);
    void PStore(TConfBlock *conf);
    bool Confirmed = false;

    // Checks made when a field is left; public so that tests can run them.
    void EdCompilerExit();
    void EdBMPExit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_compiler;
    QLineEdit *m_bmp;
    QSpinBox *m_nbFnts;
    QSpinBox *m_backup;
    QCheckBox *m_createCnt;
    QCheckBox *m_copyCnt;
    QCheckBox *m_reopenLast = nullptr;
};

class TFrmPrjConf : public QDialog {
    Q_OBJECT
public:
    explicit TFrmPrjConf(QWidget *parent = nullptr);
    void PFill(const TConfBlock *conf);
    void PStore(TConfBlock *conf);
    bool Confirmed = false;
    QColor stagedBackground() const { return m_bk; }
    QColor stagedTitle() const { return m_titleColour; }

    void EdCompressExit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chooseColour(QColor *staged);
    void paintButtons();

    QLineEdit *m_title;
    QLineEdit *m_copyright;
    QLineEdit *m_compress;
    QComboBox *m_language = nullptr;
    QCheckBox *m_addTitle;
    QCheckBox *m_html = nullptr;
    QCheckBox *m_chm = nullptr;
    QCheckBox *m_pdf = nullptr;
    QComboBox *m_paper = nullptr;
    QPushButton *m_bkButton;
    QPushButton *m_titleButton;
    QColor m_bk = Qt::white;
    QColor m_titleColour = Qt::white;
    QColor m_lastChosen = Qt::white;
};

// TColor values are 0x00BBGGRR.
QColor FColorFromTColor(qint32 colour);
qint32 FTColorFromColor(const QColor &colour);
