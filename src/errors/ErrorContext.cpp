#include "errors/ErrorContext.h"

#include "platform/Cp1252.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTime>
#include <QtEndian>

#include <array>
#include <cstring>

namespace {
bool (*g_reportSink)(const TErrorContext &) = nullptr;
} // namespace

void PSetReportSink(bool (*sink)(const TErrorContext &)) { g_reportSink = sink; }

namespace {

constexpr int kMaxShort = 255;

void putShort(QByteArray &rec, int offset, const QString &text)
{
    const QByteArray bytes = Platform::toCp1252(text.left(kMaxShort));
    rec[offset] = static_cast<char>(bytes.size());
    std::memcpy(rec.data() + offset + 1, bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString getShort(const QByteArray &rec, int offset, int slot = 256)
{
    const int len = qMin<int>(static_cast<unsigned char>(rec.at(offset)), slot - 1);
    return Platform::fromCp1252(rec.constData() + offset + 1, len);
}

// The time prefix in the system's time format, without a time-zone name.
QString localTimeText()
{
    const QLocale locale = QLocale::system();
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    if (format.isEmpty())
        format = QStringLiteral("HH:mm:ss");
    return locale.toString(QTime::currentTime(), format);
}

std::array<std::array<QString, 101>, 21> &messageTable()
{
    static std::array<std::array<QString, 101>, 21> table;
    return table;
}

} // namespace

QByteArray TErrorContext::toRecord() const
{
    QByteArray rec(RecordSize, '\0');
    rec[ErrRec::Active] = Active ? 1 : 0;
    rec[ErrRec::Trace] = Trace ? 1 : 0;
    rec[ErrRec::Destination] = static_cast<char>(Destination);
    rec[ErrRec::Category] = static_cast<char>(Category);
    qToLittleEndian<quint16>(Code, rec.data() + ErrRec::Code);
    putShort(rec, ErrRec::AppName, AppName);
    putShort(rec, ErrRec::ExeName, ExeName);
    putShort(rec, ErrRec::Unite, Unite);
    putShort(rec, ErrRec::SubProg, SubProg);
    putShort(rec, ErrRec::ObjClass, ObjClass);
    putShort(rec, ErrRec::ObjName, ObjName);
    putShort(rec, ErrRec::Msg, Msg);
    return rec;
}

TErrorContext TErrorContext::fromRecord(const QByteArray &rec)
{
    TErrorContext ctx;
    if (rec.size() < RecordSize)
        return ctx;
    ctx.Active = rec.at(ErrRec::Active) != 0;
    ctx.Trace = rec.at(ErrRec::Trace) != 0;
    ctx.Destination = static_cast<quint8>(rec.at(ErrRec::Destination));
    ctx.Category = static_cast<quint8>(rec.at(ErrRec::Category));
    ctx.Code = qFromLittleEndian<quint16>(rec.constData() + ErrRec::Code);
    ctx.AppName = getShort(rec, ErrRec::AppName);
    ctx.ExeName = getShort(rec, ErrRec::ExeName);
    ctx.Unite = getShort(rec, ErrRec::Unite);
    ctx.SubProg = getShort(rec, ErrRec::SubProg);
    ctx.ObjClass = getShort(rec, ErrRec::ObjClass);
    ctx.ObjName = getShort(rec, ErrRec::ObjName);
    ctx.Msg = getShort(rec, ErrRec::Msg);
    return ctx;
}

void FInitErrCtx(TErrorContext &ctx, const QString &appName, const QString &unitName)
{
    ctx.Active = true;
    ctx.Trace = false;
    ctx.Destination = 1;
    ctx.Category = 1;
    ctx.AppName = appName.left(kMaxShort);
    ctx.ExeName = Platform::programFileName().left(kMaxShort);
    ctx.Unite = unitName.left(kMaxShort);
    ctx.SubProg.clear();
    ctx.ObjClass.clear();
    ctx.ObjName.clear();
    ctx.Msg.clear();
    ctx.TimeStamp = true;
}

void PSetSwitches(TErrorContext &ctx, bool active, bool trace, quint8 destination)
{
    ctx.Active = active;
    ctx.Trace = trace;
    ctx.Destination = destination;
}

TErrorContext &FInitUnitCtx(TErrorContext &ctx, const QString &appName, const QString &unitName, bool active,
                            bool trace, quint8 destination)
{
    FInitErrCtx(ctx, appName, unitName);
    PSetSwitches(ctx, active, trace, destination);
    const quint8 saved = FEnterSub(ctx, QStringLiteral("FInit"));
    return FReport(saved, ctx, 0, QString(), 0);
}

void FDeriveErrCtx(const TErrorContext &unitCtx, TErrorContext &objCtx, const QString &className,
                   const QString &objName, quint8 destination)
{
    objCtx.Destination = destination;
    objCtx.Category = 1;
    objCtx.AppName = unitCtx.AppName;
    objCtx.ExeName = unitCtx.ExeName;
    objCtx.Unite = unitCtx.Unite;
    objCtx.SubProg.clear();
    objCtx.Msg.clear();
    objCtx.ObjClass = className.left(kMaxShort);
    objCtx.ObjName = objName.left(kMaxShort);
    objCtx.TimeStamp = unitCtx.TimeStamp;
}

quint8 FEnterSub(TErrorContext &ctx, const QString &name)
{
    if (ctx.SubProg.size() + name.size() >= kMaxShort)
        ctx.SubProg = QStringLiteral("...");
    const auto saved = static_cast<quint8>(ctx.SubProg.size());
    ctx.SubProg = (ctx.SubProg + u'\\' + name).left(kMaxShort);
    return saved;
}

TErrorContext &FReport(quint8 saved, TErrorContext &ctx, quint8 category, const QString &msg,
                       quint16 code)
{
    ctx.Category = category;
    ctx.Code = code;
    ctx.Msg = msg.left(kMaxShort);
    if (ctx.Active && (ctx.Trace || ctx.Category != 0)) {
        if (ctx.TimeStamp)
            ctx.Msg = (localTimeText() + QStringLiteral(" | ") + ctx.Msg).left(kMaxShort);
        if (ctx.Destination == 1 || !g_reportSink || !g_reportSink(ctx))
            FWriteErrLog(ctx);
    }
    ctx.SubProg.truncate(saved);
    return ctx;
}

QString FErrLogName(const QString &exeName)
{
    if (exeName.isEmpty())
        return QStringLiteral("Unknow.LOG");
    QString name;
    if (exeName.size() >= 4 && exeName.at(exeName.size() - 4) == u'.')
        name = exeName.left(exeName.size() - 3) + QStringLiteral("LOG");
    else
        name = exeName + QStringLiteral(".LOG");
    // A program file that is itself named *.LOG must not be overwritten.
    if (name.compare(exeName, Qt::CaseInsensitive) == 0)
        name = exeName + QStringLiteral(".LOG");
    // File names are limited to 255 characters: shorten the base.
    if (name.size() > kMaxShort)
        name = exeName.left(kMaxShort - 4) + QStringLiteral(".LOG");
    return name;
}

namespace {
QString g_logDir;
} // namespace

void PSetErrLogDir(const QString &dir) { g_logDir = dir; }

QString FErrLogPath(const QString &exeName)
{
    const QString name = FErrLogName(exeName);
    return g_logDir.isEmpty() ? name : QDir(g_logDir).filePath(name);
}

bool FWriteErrLog(const TErrorContext &ctx)
{
    const QString path = FErrLogPath(ctx.ExeName);
    const QByteArray record = ctx.toRecord();
    // A file whose size is not a whole number of records (a foreign file, a
    // record torn by a crash) is kept aside, never cut: the log starts anew.
    const QFileInfo info(path);
    if (info.isFile() && info.size() % TErrorContext::RecordSize != 0) {
        QString aside = path + QStringLiteral(".bad");
        for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
            aside = path + QStringLiteral(".bad.%1").arg(n);
        QFile::rename(path, aside);
    }
    // Opened for append and written in one call: a record is whole or absent.
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        Platform::prompts().plain(QStringLiteral(" Création du fichier d'erreur IMPOSSIBLE !"));
        return false;
    }
    if (file.write(record) != record.size()) {
        Platform::prompts().plain(QStringLiteral(" Ecriture dans le fichier d'erreur IMPOSSIBLE !"));
        return false;
    }
    file.close();
    return true;
}

bool FAddMsgU(quint8 category, quint16 code, const QString &text)
{
    if (category >= 21 || code >= 101)
        return true;
    messageTable()[category][code] = text;
    return false;
}

QString FGetMsgU(const TErrorContext *ctx)
{
    if (!ctx || ctx->Category >= 21 || ctx->Code >= 101)
        return {};
    return messageTable()[ctx->Category][ctx->Code];
}

void PShowMsgU(const TErrorContext *ctx, bool show, int mode)
{
    if (!show || !ctx)
        return;
    const QString text = FGetMsgU(ctx) + QStringLiteral(" : ") + ctx->Msg;
    if (mode == 1)
        Platform::prompts().messageBox(Platform::BoxIcon::Warning, text, Platform::Ok);
    else if (mode == 0)
        Platform::prompts().messageBox(Platform::BoxIcon::Error, text, Platform::Ok);
}

void PShowError(const QString &text) { Platform::prompts().error(text); }
