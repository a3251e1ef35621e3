#pragma once
// The program's settings records, their INI keys and defaults, and the
// objects that every part reaches through globals.
#include "config/ConfFile.h"
#include "platform/ShortString.h"

#include <QStringList>
#include <cstddef>

using Platform::ShortStr;
using Platform::String255;

// Program settings, section [Config] of the program settings file.
struct TIniRec {
    quint8 Header[256];
    String255 DIRPATH;
    qint32 NB_LASTPROJECTS;
    String255 LASTPROJECT[3];
    String255 COMPILER;
    String255 BMP;
    bool CREATE_CNT;
    bool COPY_CNT;
    qint32 NB_FNT;
    qint32 BACKUP_PERIOD;
    qint32 AUTO_RE_NB;
    qint32 AUTO_RE_TS;
    qint32 AUTO_RE_TF;
    qint32 SEQ_T;
    qint32 COMPIL_POL_T;
    qint32 COMPIL_TO;
    bool SHOW_ERRORS;
    // Start-up opens the project that was open last (LASTOPEN) again.
    bool REOPEN_LAST;
    String255 LASTOPEN;
};
static_assert(offsetof(TIniRec, DIRPATH) == 256);
static_assert(offsetof(TIniRec, NB_LASTPROJECTS) == 512);
static_assert(offsetof(TIniRec, CREATE_CNT) == 1796);
static_assert(offsetof(TIniRec, NB_FNT) == 1800);
static_assert(offsetof(TIniRec, SHOW_ERRORS) == 1832);

// Project settings, section [Param] of the project's .CFG file, followed by
// the run-time fields of the open project (never stored in the file).
struct TPrjRec {
    quint8 Header[256];
    bool AddTitle;
    bool SameTitleFont;
    String255 ProjectTitle;
    String255 Copyright;
    String255 HelpCompress;
    qint32 BkColor;
    qint32 TitleColor;
    // run-time fields
    String255 PrjDir;
    String255 PrjName;
    String255 PrjComDir;
    String255 PrjFile;
    quint8 PrjState;
    quint16 PrjSaveCount;
    // The outputs built besides the .HLP: "HTML", "CHM", comma-separated.
    String255 Outputs;
    // The help's language, a Windows language identifier ("0x411"); empty
    // for none (Western European text, Windows-1252).
    String255 Language;
    // The main window of a help the project was imported from: "caption",
    // (x, y, width, height), state; empty for the program's own (the
    // project's title, the whole screen).
    String255 MainWindow;
    // That help's start-up macros (its buttons and menus), joined by ";":
    // with KeepButtons they replace the program's Exit button (none when
    // empty).
    String255 Buttons;
    bool KeepButtons;
    // The printable manual's paper: "a4", "letter", empty for the system's.
    String255 Paper;
};
static_assert(offsetof(TPrjRec, BkColor) == 1028);
static_assert(offsetof(TPrjRec, PrjDir) == 256 + 780);

// One title font: RTF font reference, size and style control words.
struct TFontEntry {
    ShortStr<25> Name;
    ShortStr<10> Id;
    ShortStr<10> Size;
    ShortStr<10> Typ;
};
static_assert(sizeof(TFontEntry) == 59);

constexpr int MaxTopics = 500;

// Title fonts of the project's .FNT file: entry 0 is [AllTop], entry n is
// [Topn].
struct TFontsRec {
    quint8 Header[256];
    quint16 NbTopics;
    TFontEntry Entries[MaxTopics + 1];
};
static_assert(offsetof(TFontsRec, Entries) == 258);
static_assert(sizeof(TFontsRec) == 256 + 29562);

// Project states.
enum TPrjState : quint8 {
    PrjNone = 0, PrjOpened = 1, PrjCreated = 2, PrjModified = 3, PrjSaved = 4,
    PrjConverted = 5, PrjCompiled = 6
};

struct TConfBlock {
    TIniRec *PIni = nullptr;
    TPrjRec *PPrj = nullptr;
    TFontsRec *PPrjFonts = nullptr;
    QStringList *WinFntList = nullptr;
};

namespace Globale {

// Record and settings-part sizes handed to the configuration files.
constexpr quint16 IniRecSize = sizeof(TIniRec) + 4;
constexpr quint16 IniFRecSize = sizeof(TIniRec) - 256;
// The project record grew past its first 2324 bytes (the output and
// language settings, the main window and buttons of an imported help): the
// buffer holds it whole.
constexpr quint16 PrjRecSize = sizeof(TPrjRec) > 2324 ? quint16(sizeof(TPrjRec)) : quint16(2324);
static_assert(sizeof(TPrjRec) <= PrjRecSize);
constexpr quint16 PrjFRecSize = 780;
constexpr quint16 FontsRecSize = 29820;
constexpr quint16 FontsFRecSize = 29562;

extern TCConfFile *VGGIniProg;
extern TCConfFile *VGGIniPrj;
extern TCConfFile *VGGIniPrjFonts;
extern TConfBlock *PConf;
// The project named on the command line; empty if none.
extern QString VGStartPrjName;

TErrorContext &context();
// The program's own start-up: settings objects, records, font list.
TErrorContext &FInit(bool active, bool trace, quint8 destination);

// Default directories, derived from the program directory by FInit.
QString FDefaultDirPath();
QString FDefaultCompiler();
QString FDefaultBmpDir();

// The record routines of the three configuration files.
quint16 PIniDefault(quint8 *rec, int index, quint16 fRecSize);
void PIniRead(Platform::IniFile &ini, quint8 *rec, const quint8 *defRec);
void PIniWrite(Platform::IniFile &ini, const quint8 *rec);
quint16 PPrjDefault(quint8 *rec, int index, quint16 fRecSize);
void PPrjRead(Platform::IniFile &ini, quint8 *rec, const quint8 *defRec);
void PPrjWrite(Platform::IniFile &ini, const quint8 *rec);
quint16 PFontsDefault(quint8 *rec, int index, quint16 fRecSize);
void PFontsRead(Platform::IniFile &ini, quint8 *rec, const quint8 *defRec);
void PFontsWrite(Platform::IniFile &ini, const quint8 *rec);

} // namespace Globale
