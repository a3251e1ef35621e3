#include "config/Globale.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <new>
#include <stdexcept>

namespace Globale {

TCConfFile *VGGIniProg = nullptr;
TCConfFile *VGGIniPrj = nullptr;
TCConfFile *VGGIniPrjFonts = nullptr;
TConfBlock *PConf = nullptr;
QString VGStartPrjName;

namespace {

TErrorContext g_ctx;
TConfBlock g_block;
QString g_dirPath = QStringLiteral("c:\\kivrogs\\kivhelp\\");
QString g_compiler = QStringLiteral("c:\\kivrogs\\kivhelp\\HC31.exe");
QString g_bmpDir = QStringLiteral("c:\\kivrogs\\kivhelp\\BMP\\");

const QString kConfig = QStringLiteral("Config");
const QString kParam = QStringLiteral("Param");
const QString kAllTop = QStringLiteral("AllTop");

const char *const kDefaultCopyright = "Copyright (c) - tous droits réservés";

QString fontSection(int entry)
{
    return entry == 0 ? kAllTop : QStringLiteral("Top%1").arg(entry);
}

template <typename T>
T *as(quint8 *rec) { return reinterpret_cast<T *>(rec); }
template <typename T>
const T *as(const quint8 *rec) { return reinterpret_cast<const T *>(rec); }

template <int N>
void readStr(Platform::IniFile &ini, const QString &section, const QString &key,
             ShortStr<N> &field, const ShortStr<N> &def)
{
    field.set(ini.readString(section, key, def.get()));
}

void zeroSettings(quint8 *rec, quint16 fRecSize)
{
    std::memset(rec + TCConfFile::HeaderSize, 0, size_t(fRecSize) + 1);
}

} // namespace

TErrorContext &context() { return g_ctx; }
QString FDefaultDirPath() { return g_dirPath; }
QString FDefaultCompiler() { return g_compiler; }
QString FDefaultBmpDir() { return g_bmpDir; }

// ---- program settings ----

quint16 PIniDefault(quint8 *rec, int, quint16 fRecSize)
{
    zeroSettings(rec, fRecSize);
    TIniRec *r = as<TIniRec>(rec);
    r->NB_LASTPROJECTS = 3;
    r->LASTPROJECT[0].set(g_dirPath + QStringLiteral("Kivhelp/Kivhelp.PRJ"));
    r->LASTPROJECT[1].clear();
    r->LASTPROJECT[2].clear();
    r->DIRPATH.set(g_dirPath);
    r->COMPILER.set(g_compiler);
    r->BMP.set(g_bmpDir);
    r->CREATE_CNT = false;
    r->COPY_CNT = false;
    r->NB_FNT = 30;
    r->BACKUP_PERIOD = 2;
    r->AUTO_RE_NB = 60;
    r->AUTO_RE_TS = 2000;
    r->AUTO_RE_TF = 1000;
    r->SEQ_T = -1;
    r->COMPIL_POL_T = 100;
    r->COMPIL_TO = 5000;
    r->SHOW_ERRORS = true;
    r->REOPEN_LAST = true;
    r->LASTOPEN.clear();
    return 0;
}

void PIniRead(Platform::IniFile &ini, quint8 *rec, const quint8 *defRec)
{
    TIniRec *r = as<TIniRec>(rec);
    const TIniRec *d = as<TIniRec>(defRec);
    readStr(ini, kConfig, QStringLiteral("DIRPATH"), r->DIRPATH, d->DIRPATH);
    readStr(ini, kConfig, QStringLiteral("COMPILER"), r->COMPILER, d->COMPILER);
    readStr(ini, kConfig, QStringLiteral("BMP"), r->BMP, d->BMP);
    r->CREATE_CNT = ini.readBool(kConfig, QStringLiteral("CREATE_CNT"), d->CREATE_CNT);
    r->COPY_CNT = ini.readBool(kConfig, QStringLiteral("COPY_CNT"), d->COPY_CNT);
    r->NB_FNT = ini.readInteger(kConfig, QStringLiteral("NB_FNT"), d->NB_FNT);
    r->BACKUP_PERIOD = ini.readInteger(kConfig, QStringLiteral("BACKUP_PERIOD"), d->BACKUP_PERIOD);
    r->AUTO_RE_NB = ini.readInteger(kConfig, QStringLiteral("AUTO_RE_NB"), d->AUTO_RE_NB);
    r->AUTO_RE_TS = ini.readInteger(kConfig, QStringLiteral("AUTO_RE_TS"), d->AUTO_RE_TS);
    r->AUTO_RE_TF = ini.readInteger(kConfig, QStringLiteral("AUTO_RE_TF"), d->AUTO_RE_TF);
    r->SEQ_T = ini.readInteger(kConfig, QStringLiteral("SEQ_T"), d->SEQ_T);
    r->COMPIL_POL_T = ini.readInteger(kConfig, QStringLiteral("COMPIL_POL_T"), d->COMPIL_POL_T);
    r->COMPIL_TO = ini.readInteger(kConfig, QStringLiteral("COMPIL_TO"), d->COMPIL_TO);
    r->SHOW_ERRORS = ini.readBool(kConfig, QStringLiteral("SHOW_ERRORS"), d->SHOW_ERRORS);
    r->REOPEN_LAST = ini.readBool(kConfig, QStringLiteral("REOPEN_LAST"), d->REOPEN_LAST);
    readStr(ini, kConfig, QStringLiteral("LASTOPEN"), r->LASTOPEN, d->LASTOPEN);
    r->NB_LASTPROJECTS = ini.readInteger(kConfig, QStringLiteral("NB_LASTPROJECTS"), d->NB_LASTPROJECTS);
    for (int i = 1; i <= r->NB_LASTPROJECTS; ++i) {
        if (i > 3) {
            // The record has three places. The count is brought back to 3
            // so that the list and later writes stay within them.
            r->NB_LASTPROJECTS = 3;
            throw std::out_of_range("NB_LASTPROJECTS above 3");
        }
        readStr(ini, kConfig, QStringLiteral("LASTPROJECT%1").arg(i), r->LASTPROJECT[i - 1],
                d->LASTPROJECT[i - 1]);
    }
}

void PIniWrite(Platform::IniFile &ini, const quint8 *rec)
{
    const TIniRec *r = as<TIniRec>(rec);
    ini.writeString(kConfig, QStringLiteral("DIRPATH"), r->DIRPATH.get());
    ini.writeString(kConfig, QStringLiteral("COMPILER"), r->COMPILER.get());
    ini.writeString(kConfig, QStringLiteral("BMP"), r->BMP.get());
    ini.writeBool(kConfig, QStringLiteral("CREATE_CNT"), r->CREATE_CNT);
    ini.writeBool(kConfig, QStringLiteral("COPY_CNT"), r->COPY_CNT);
    ini.writeInteger(kConfig, QStringLiteral("NB_FNT"), r->NB_FNT);
    ini.writeInteger(kConfig, QStringLiteral("BACKUP_PERIOD"), r->BACKUP_PERIOD);
    ini.writeInteger(kConfig, QStringLiteral("AUTO_RE_NB"), r->AUTO_RE_NB);
    ini.writeInteger(kConfig, QStringLiteral("AUTO_RE_TS"), r->AUTO_RE_TS);
    ini.writeInteger(kConfig, QStringLiteral("AUTO_RE_TF"), r->AUTO_RE_TF);
    ini.writeInteger(kConfig, QStringLiteral("SEQ_T"), r->SEQ_T);
    ini.writeInteger(kConfig, QStringLiteral("COMPIL_POL_T"), r->COMPIL_POL_T);
    ini.writeInteger(kConfig, QStringLiteral("COMPIL_TO"), r->COMPIL_TO);
    ini.writeBool(kConfig, QStringLiteral("SHOW_ERRORS"), r->SHOW_ERRORS);
    ini.writeBool(kConfig, QStringLiteral("REOPEN_LAST"), r->REOPEN_LAST);
    ini.writeString(kConfig, QStringLiteral("LASTOPEN"), r->LASTOPEN.get());
    ini.writeInteger(kConfig, QStringLiteral("NB_LASTPROJECTS"), r->NB_LASTPROJECTS);
    for (int i = 1; i <= r->NB_LASTPROJECTS; ++i) {
        if (i > 3)
            throw std::out_of_range("NB_LASTPROJECTS above 3");
        ini.writeString(kConfig, QStringLiteral("LASTPROJECT%1").arg(i), r->LASTPROJECT[i - 1].get());
    }
}

// ---- project settings ----

quint16 PPrjDefault(quint8 *rec, int, quint16 fRecSize)
{
    zeroSettings(rec, fRecSize);
    TPrjRec *r = as<TPrjRec>(rec);
    r->AddTitle = false;
    r->SameTitleFont = true;
    r->ProjectTitle.set(QStringLiteral("KIV Help Project"));
    r->Copyright.set(QString::fromUtf8(kDefaultCopyright));
    r->HelpCompress.set(QStringLiteral("NO"));
    r->Outputs.set(QString());
    r->Language.set(QString());
    r->MainWindow.set(QString());
    r->Buttons.set(QString());
    r->KeepButtons = false;
    r->BkColor = 16777215;
    r->TitleColor = 16777215;
    return 0;
}

void PPrjRead(Platform::IniFile &ini, quint8 *rec, const quint8 *defRec)
{
    TPrjRec *r = as<TPrjRec>(rec);
    const TPrjRec *d = as<TPrjRec>(defRec);
    r->AddTitle = ini.readBool(kParam, QStringLiteral("AddTitle"), d->AddTitle);
    r->SameTitleFont = ini.readBool(kParam, QStringLiteral("SameTitleFont"), d->SameTitleFont);
    readStr(ini, kParam, QStringLiteral("ProjectTitle"), r->ProjectTitle, d->ProjectTitle);
    readStr(ini, kParam, QStringLiteral("Copyright"), r->Copyright, d->Copyright);
    readStr(ini, kParam, QStringLiteral("HelpCompress"), r->HelpCompress, d->HelpCompress);
    readStr(ini, kParam, QStringLiteral("Outputs"), r->Outputs, d->Outputs);
    readStr(ini, kParam, QStringLiteral("Language"), r->Language, d->Language);
    readStr(ini, kParam, QStringLiteral("MainWindow"), r->MainWindow, d->MainWindow);
    readStr(ini, kParam, QStringLiteral("Buttons"), r->Buttons, d->Buttons);
    readStr(ini, kParam, QStringLiteral("Paper"), r->Paper, d->Paper);
    r->KeepButtons = ini.valueExists(kParam, QStringLiteral("Buttons")) || d->KeepButtons;
    r->BkColor = ini.readInteger(kParam, QStringLiteral("BkColor"), d->BkColor);
    r->TitleColor = ini.readInteger(kParam, QStringLiteral("TitleColor"), d->TitleColor);
}

void PPrjWrite(Platform::IniFile &ini, const quint8 *rec)
{
    const TPrjRec *r = as<TPrjRec>(rec);
    ini.writeBool(kParam, QStringLiteral("AddTitle"), r->AddTitle);
    ini.writeBool(kParam, QStringLiteral("SameTitleFont"), r->SameTitleFont);
    ini.writeString(kParam, QStringLiteral("ProjectTitle"), r->ProjectTitle.get());
    ini.writeString(kParam, QStringLiteral("Copyright"), r->Copyright.get());
    ini.writeString(kParam, QStringLiteral("HelpCompress"), r->HelpCompress.get());
    ini.writeInteger(kParam, QStringLiteral("BkColor"), r->BkColor);
    ini.writeInteger(kParam, QStringLiteral("TitleColor"), r->TitleColor);
    // Only projects that publish more than the .HLP carry the key, so that
    // the others' files stay as they were.
    if (!r->Outputs.get().isEmpty() || ini.valueExists(kParam, QStringLiteral("Outputs")))
        ini.writeString(kParam, QStringLiteral("Outputs"), r->Outputs.get());
    if (!r->Language.get().isEmpty() || ini.valueExists(kParam, QStringLiteral("Language")))
        ini.writeString(kParam, QStringLiteral("Language"), r->Language.get());
    if (!r->MainWindow.get().isEmpty() || ini.valueExists(kParam, QStringLiteral("MainWindow")))
        ini.writeString(kParam, QStringLiteral("MainWindow"), r->MainWindow.get());
    if (!r->Paper.get().isEmpty() || ini.valueExists(kParam, QStringLiteral("Paper")))
        ini.writeString(kParam, QStringLiteral("Paper"), r->Paper.get());
    if (r->KeepButtons || ini.valueExists(kParam, QStringLiteral("Buttons")))
        ini.writeString(kParam, QStringLiteral("Buttons"), r->Buttons.get());
}

// ---- title fonts ----

quint16 PFontsDefault(quint8 *rec, int, quint16 fRecSize)
{
    zeroSettings(rec, fRecSize);
    TFontsRec *r = as<TFontsRec>(rec);
    r->NbTopics = 0;
    for (TFontEntry &e : r->Entries) {
        e.Name.set(QStringLiteral("system"));
        e.Id.set(QStringLiteral("\\f0"));
        e.Size.set(QStringLiteral("\\fs30"));
        e.Typ.set(QStringLiteral("\\b"));
    }
    return 0;
}

void PFontsRead(Platform::IniFile &ini, quint8 *rec, const quint8 *defRec)
{
    TFontsRec *r = as<TFontsRec>(rec);
    const TFontsRec *d = as<TFontsRec>(defRec);
    const int nb = ini.readInteger(kParam, QStringLiteral("NbTopics"), d->NbTopics);
    r->NbTopics = static_cast<quint16>(nb);
    const int last = static_cast<quint16>(nb);
    for (int i = 0; i <= last; ++i) {
        if (i > MaxTopics) {
            // The table has 500 topic places; keep the count within them.
            r->NbTopics = MaxTopics;
            throw std::out_of_range("NbTopics above 500");
        }
        const QString section = fontSection(i);
        readStr(ini, section, QStringLiteral("Name"), r->Entries[i].Name, d->Entries[i].Name);
        readStr(ini, section, QStringLiteral("Id"), r->Entries[i].Id, d->Entries[i].Id);
        readStr(ini, section, QStringLiteral("Size"), r->Entries[i].Size, d->Entries[i].Size);
        readStr(ini, section, QStringLiteral("Typ"), r->Entries[i].Typ, d->Entries[i].Typ);
    }
}

void PFontsWrite(Platform::IniFile &ini, const quint8 *rec)
{
    const TFontsRec *r = as<TFontsRec>(rec);
    ini.writeInteger(kParam, QStringLiteral("NbTopics"), r->NbTopics);
    for (int i = 0; i <= r->NbTopics; ++i) {
        if (i > MaxTopics)
            throw std::out_of_range("NbTopics above 500");
        const QString section = fontSection(i);
        ini.writeString(section, QStringLiteral("Name"), r->Entries[i].Name.get());
        ini.writeString(section, QStringLiteral("Id"), r->Entries[i].Id.get());
        ini.writeString(section, QStringLiteral("Size"), r->Entries[i].Size.get());
        ini.writeString(section, QStringLiteral("Typ"), r->Entries[i].Typ.get());
    }
}

// ---- start-up ----

TErrorContext &FInit(bool active, bool trace, quint8 destination)
{
    FInitErrCtx(g_ctx, QString::fromLatin1(KivAppName), QStringLiteral("Globale"));
    PSetSwitches(g_ctx, active, trace, destination);
    TSubGuard sub(g_ctx, QStringLiteral("FInit"));

    // New projects and bitmaps live in a folder of the user's own; the
    // program's folder holds only what is shipped with it.
    g_dirPath = Platform::userProjectsDir() + u'/';
    g_bmpDir = g_dirPath + QStringLiteral("BMP/");
    // The help compiler is shipped beside the program.
    g_compiler = QFileInfo(Platform::programFilePath()).absolutePath() + QStringLiteral("/kivhc");

    struct ConfObject {
        TCConfFile **object;
        const char *create;
        const char *getPt;
        quint16 recSize, fRecSize;
        TCConfFile::DefFunc def;
        TCConfFile::WriteFunc write;
        TCConfFile::ReadFunc read;
        void **pointer;
    };
    const ConfObject objects[] = {
        {&VGGIniProg, "VGGIniProg := TCConfFile.Create", "VGGIniProg.FGetPt ( 0, Pointer (PIni) )",
         IniRecSize, IniFRecSize, PIniDefault, PIniWrite, PIniRead,
         reinterpret_cast<void **>(&g_block.PIni)},
        {&VGGIniPrj, "VGGIniPrj := TCConfFile.Create", "VGGIniPrj.FGetPt ( 0, Pointer (PPrj) )",
         PrjRecSize, PrjFRecSize, PPrjDefault, PPrjWrite, PPrjRead,
         reinterpret_cast<void **>(&g_block.PPrj)},
        {&VGGIniPrjFonts, "VGGIniPrjFonts := TCConfFile.Create",
         "VGGIniPrjFonts.FGetPt ( 0, Pointer (PPrjFonts) )", FontsRecSize, FontsFRecSize,
         PFontsDefault, PFontsWrite, PFontsRead, reinterpret_cast<void **>(&g_block.PPrjFonts)},
    };
    for (const ConfObject &s : objects) {
        if (!*s.object) {
            *s.object = new (std::nothrow) TCConfFile;
            if (!*s.object)
                return sub.report(4, QString::fromLatin1(s.create), 13);
        }
        (*s.object)->FInit(active, trace, destination, s.recSize, s.fRecSize, 1, s.def, s.write,
                           s.read);
    }
    for (const ConfObject &s : objects)
        if (!(*s.object)->FGetPt(0, s.pointer))
            return sub.report(8, QString::fromLatin1(s.getPt), 2);

    if (!g_block.WinFntList) {
        g_block.WinFntList = new (std::nothrow) QStringList;
        if (!g_block.WinFntList)
            return sub.report(8, QStringLiteral("WinFntList := TStringList.Create"), 2);
    }
    PConf = &g_block;

    TPrjRec *prj = g_block.PPrj;
    prj->PrjDir.clear();
    prj->PrjName.clear();
    prj->PrjComDir.clear();
    prj->PrjFile.clear();
    prj->PrjState = PrjNone;
    prj->PrjSaveCount = 0;
    return sub.report(0);
}

} // namespace Globale
