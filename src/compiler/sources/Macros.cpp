// Help macros read and checked as the viewers would run them.
#include "compiler/sources/Macros.h"
#include "compiler/hlp/HlpEncode.h"

#include "compiler/sources/RtfTopics.h"

#include <cctype>

namespace Hlp {

namespace {

// Argument types: S string, M string holding a macro, U unsigned and I
// signed number, B a macro call giving a truth value. `least`: fewer
// arguments make the viewer read a missing string and crash; a call with
// fewer is refused. A second form ("SU" after "SSU") is also accepted.
struct TMacroDef {
    const char *name;
    const char *shortName;
    const char *types;
    int least;
    const char *otherTypes;
};

const TMacroDef kMacros[] = {
    {"About", "", "", 0, nullptr},
    {"AddAccelerator", "AA", "UUM", 3, nullptr},
    {"ALink", "AL", "SUSS", 1, nullptr},
    {"Annotate", "", "", 0, nullptr},
    {"AppendItem", "", "SSSM", 4, nullptr},
    {"Back", "", "", 0, nullptr},
    {"BackFlush", "BF", "", 0, nullptr},
    {"BookmarkDefine", "", "", 0, nullptr},
    {"BookmarkMore", "", "", 0, nullptr},
    {"BrowseButtons", "", "", 0, nullptr},
    {"ChangeButtonBinding", "CBB", "SM", 2, nullptr},
    {"ChangeEnable", "CE", "SM", 2, nullptr},
    {"ChangeItemBinding", "CIB", "SM", 2, nullptr},
    {"CheckItem", "CI", "S", 1, nullptr},
    {"CloseSecondarys", "CS", "", 0, nullptr},
    {"CloseWindow", "CW", "S", 0, nullptr},
    {"Compare", "", "S", 1, nullptr},
    {"Contents", "", "", 0, nullptr},
    {"ControlPanel", "", "SSU", 1, nullptr},
    {"CopyDialog", "", "", 0, nullptr},
    {"CopyTopic", "CT", "", 0, nullptr},
    {"CreateButton", "CB", "SSM", 3, nullptr},
    {"DeleteItem", "", "S", 1, nullptr},
    {"DeleteMark", "", "S", 1, nullptr},
    {"DestroyButton", "", "S", 1, nullptr},
    {"DisableButton", "DB", "S", 1, nullptr},
    {"DisableItem", "DI", "S", 1, nullptr},
    {"EnableButton", "EB", "S", 1, nullptr},
    {"EnableItem", "EI", "S", 1, nullptr},
    {"EndMPrint", "", "", 0, nullptr},
    {"ExecFile", "EF", "SSUS", 1, nullptr},
    {"ExecProgram", "EP", "SU", 1, nullptr},
    {"Exit", "", "", 0, nullptr},
    {"ExtAbleItem", "", "SU", 2, nullptr},
    {"ExtInsertItem", "", "SSSMUU", 4, nullptr},
    {"ExtInsertMenu", "", "SSSUU", 3, nullptr},
    {"FileExist", "FE", "S", 1, nullptr},
    {"FileOpen", "FO", "", 0, nullptr},
    {"Find", "", "", 0, nullptr},
    {"Finder", "FD", "", 0, nullptr},
    {"FloatingMenu", "", "", 0, nullptr},
    {"Flush", "FH", "", 0, nullptr},
    {"FocusWindow", "", "S", 1, nullptr},
    {"Generate", "", "SUU", 1, nullptr},
    {"GotoMark", "", "S", 1, nullptr},
    {"HelpOn", "", "", 0, nullptr},
    {"HelpOnTop", "", "", 0, nullptr},
    {"History", "", "", 0, nullptr},
    {"IfThen", "IF", "BM", 2, nullptr},
    {"IfThenElse", "IE", "BMM", 3, nullptr},
    {"InitMPrint", "", "", 0, nullptr},
    {"InsertItem", "", "SSSMU", 4, nullptr},
    {"InsertMenu", "", "SSU", 2, nullptr},
    {"IsBook", "", "", 0, nullptr},
    {"IsMark", "", "S", 1, nullptr},
    {"IsNotMark", "NM", "S", 1, nullptr},
    {"JumpContents", "", "SS", 0, nullptr},
    {"JumpContext", "JC", "SSU", 2, "SU"},
    {"JumpHash", "JH", "SSU", 2, "SU"},
    {"JumpHelpOn", "", "", 0, nullptr},
    {"JumpId", "JI", "SS", 2, nullptr},
    {"JumpKeyword", "JK", "SSS", 2, nullptr},
    {"KLink", "KL", "SUSS", 1, nullptr},
    {"Menu", "MU", "", 0, nullptr},
    {"MPrintHash", "", "U", 1, nullptr},
    {"MPrintID", "", "S", 1, nullptr},
    {"Next", "", "", 0, nullptr},
    {"NoShow", "NS", "", 0, nullptr},
    {"PopupContext", "PC", "SU", 2, nullptr},
    {"PopupHash", "", "SU", 2, nullptr},
    {"PopupId", "PI", "SS", 2, nullptr},
    {"PositionWindow", "PW", "IIUUUS", 5, nullptr},
    {"Prev", "", "", 0, nullptr},
    {"Print", "", "", 0, nullptr},
    {"PrinterSetup", "", "", 0, nullptr},
    {"RegisterRoutine", "RR", "SSS", 3, nullptr},
    {"RemoveAccelerator", "RA", "UU", 2, nullptr},
    {"ResetMenu", "", "", 0, nullptr},
    {"SaveMark", "", "S", 1, nullptr},
    {"Search", "", "", 0, nullptr},
    {"SetContents", "", "SU", 2, nullptr},
    {"SetHelpOnFile", "", "S", 1, nullptr},
    {"SetPopupColor", "SPC", "UUU", 3, nullptr},
    {"ShellExecute", "SE", "SSUUSS", 1, nullptr},
    {"ShortCut", "SH", "SSUUS", 2, nullptr},
    {"TCard", "", "U", 1, nullptr},
    {"Test", "", "U", 1, nullptr},
    {"TestALink", "", "S", 1, nullptr},
    {"TestKLink", "", "S", 1, nullptr},
    {"UncheckItem", "UI", "S", 1, nullptr},
    {"UpdateWindow", "UW", "SS", 2, nullptr},
};

const TMacroDef *findMacro(const QByteArray &name)
{
    for (const TMacroDef &d : kMacros)
        if (name.compare(d.name, Qt::CaseInsensitive) == 0 || (*d.shortName && name.compare(d.shortName, Qt::CaseInsensitive) == 0))
            return &d;
    return nullptr;
}

bool isIdentifierChar(char c, bool first)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (!first && c >= '0' && c <= '9');
}

class MacroParser {
public:
    MacroParser(const QByteArray &in, const QSet<QByteArray> &routines, TMacroCheck &r, int depth)
        : m_in(in), m_routines(routines), m_r(r), m_depth(depth)
    {
    }
    // A list of calls separated by ';'; false after a syntax error.
    bool list(QByteArray *out);

private:
    struct TArg {
        char kind = 0; // 'S' string, 'N' number, 'C' call, 'W' bare word
        QByteArray text; // as written again
        QByteArray value; // strings: the text between the quotes
        QByteArray callName;
    };
    char peek() const { return m_at < m_in.size() ? m_in[m_at] : '\0'; }
    void blanks()
    {
        while (m_at < m_in.size() && (m_in[m_at] == ' ' || m_in[m_at] == '\t'))
            ++m_at;
    }
    bool fail(const QString &why)
    {
        m_r.errors << QStringLiteral("%1 (à la position %2)").arg(why).arg(m_at + 1);
        return false;
    }
    QByteArray identifier()
    {
        const qsizetype start = m_at;
        while (m_at < m_in.size() && isIdentifierChar(m_in[m_at], m_at == start))
            ++m_at;
        return m_in.mid(start, m_at - start);
    }
    bool call(QByteArray *out, QByteArray *name);
    bool argument(TArg *arg);
    bool quoted(TArg *arg);
    bool check(const QByteArray &name, QList<TArg> &args);

    const QByteArray &m_in;
    const QSet<QByteArray> &m_routines;
    TMacroCheck &m_r;
    int m_depth;
    int m_calls = 0; // calls open around the current one
    qsizetype m_at = 0;
};

bool MacroParser::list(QByteArray *out)
{
    for (;;) {
        blanks();
        if (m_at >= m_in.size())
            return true;
        QByteArray one, name;
        if (!call(&one, &name))
            return false;
        if (!out->isEmpty())
            *out += ';';
        *out += one;
        blanks();
        if (m_at >= m_in.size())
            return true;
        if (peek() != ';' && peek() != ':')
            return fail(QString::fromUtf8("« ; » attendu entre deux macros"));
        ++m_at;
    }
}

bool MacroParser::call(QByteArray *out, QByteArray *name)
{
    *name = identifier();
    if (name->isEmpty())
        return fail(QString::fromUtf8("nom de macro attendu"));
    blanks();
    QList<TArg> args;
    if (peek() == '(') {
        ++m_at;
        blanks();
        if (peek() == ')') {
            ++m_at;
        } else {
            for (;;) {
                TArg arg;
                if (!argument(&arg))
                    return false;
                args << arg;
                blanks();
                if (peek() == ',') {
                    ++m_at;
                    continue;
                }
                if (peek() == ')') {
                    ++m_at;
                    break;
                }
                return fail(QString::fromUtf8("« , » ou « ) » attendu dans %1").arg(QString::fromLatin1(*name)));
            }
        }
    }
    if (!check(*name, args))
        return false;
    *out = *name + '(';
    for (qsizetype i = 0; i < args.size(); ++i)
        *out += (i ? "," : "") + args[i].text;
    *out += ')';
    return true;
}

bool MacroParser::quoted(TArg *arg)
{
    const qsizetype start = m_at;
    const char open = m_in[m_at++];
    if (open == '"') {
        for (; m_at < m_in.size() && m_in[m_at] != '"'; ++m_at)
            if (m_in[m_at] == '\\')
                ++m_at;
        if (m_at >= m_in.size())
            return fail(QString::fromUtf8("guillemet non fermé"));
    } else { // `...' nests
        int level = 1;
        for (; m_at < m_in.size() && level > 0; ++m_at)
            if (m_in[m_at] == '`')
                ++level;
            else if (m_in[m_at] == '\'')
                --level;
            else if (m_in[m_at] == '\\')
                ++m_at;
        if (level > 0)
            return fail(QString::fromUtf8("guillemet ` non fermé par '"));
        --m_at;
    }
    ++m_at;
    arg->kind = 'S';
    arg->text = m_in.mid(start, m_at - start);
    arg->value = arg->text.mid(1, arg->text.size() - 2);
    return true;
}

bool MacroParser::argument(TArg *arg)
{
    blanks();
    const char c = peek();
    if (c == '"' || c == '`')
        return quoted(arg);
    const qsizetype start = m_at;
    if ((c >= '0' && c <= '9') || c == '-' || c == '+') {
        ++m_at;
        if (c == '0' && (peek() == 'x' || peek() == 'X')) {
            ++m_at;
            while (isxdigit(static_cast<unsigned char>(peek())))
                ++m_at;
        } else {
            while (peek() >= '0' && peek() <= '9')
                ++m_at;
        }
        blanks();
        if (peek() == ',' || peek() == ')') {
            arg->kind = 'N';
            const QByteArray written = m_in.mid(start, m_at - start).trimmed();
            arg->text = written.toLower(); // the viewer reads hex digits in lower case only
            m_r.rewritten = m_r.rewritten || arg->text != written;
            return true;
        }
        m_at = start;
    } else if (isIdentifierChar(c, true)) {
        const QByteArray name = identifier();
        blanks();
        if (peek() == '(') { // a call giving a value (IfThen's condition)
            if (++m_calls > 32)
                return fail(QString::fromUtf8("appels imbriqués trop profondément"));
            m_at = start;
            arg->kind = 'C';
            const bool ok = call(&arg->text, &arg->callName);
            --m_calls;
            return ok;
        }
        m_at = start;
    }
    // A word without quotes (JI(menu_file), AL(a;b,1)): a string up to the
    // next ',' or ')'.
    while (m_at < m_in.size() && m_in[m_at] != ',' && m_in[m_at] != ')' && m_in[m_at] != '"' && m_in[m_at] != '`')
        ++m_at;
    // Nothing at all (SH(...,-1,0,)): an empty string, as the viewers read
    // an optional one; the check below refuses it where the macro needs a
    // value.
    arg->kind = 'W';
    arg->value = m_in.mid(start, m_at - start).trimmed();
    arg->text = '`' + arg->value + '\'';
    m_r.rewritten = true;
    return true;
}

bool MacroParser::check(const QByteArray &name, QList<TArg> &args)
{
    const QByteArray upper = name.toUpper();
    if (m_routines.contains(upper))
        return true;
    const TMacroDef *def = findMacro(name);
    if (!def) {
        m_r.warnings << QString::fromUtf8("macro inconnue « %1 » : le visualiseur l'ignorera.").arg(QString::fromLatin1(name));
        return true;
    }
    const QByteArray longName(def->name);
    const QString shown = QString::fromLatin1(name);
    // JumpId(`ctx') and PopupId(`ctx') name no file: the viewer reads the
    // missing context and crashes. The file is this one.
    if ((longName == "JumpId" || longName == "PopupId") && args.size() == 1) {
        TArg file;
        file.kind = 'S';
        file.text = "`'";
        args.prepend(file);
        m_r.repaired = true;
        m_r.warnings << QString::fromUtf8("%1 avec un seul argument : le fichier courant `' ajouté devant le contexte.").arg(shown);
    }
    const QByteArray types(def->types);
    const bool other = def->otherTypes && args.size() == qsizetype(qstrlen(def->otherTypes)) && !args.isEmpty()
                       && args.last().kind == 'N';
    const QByteArray wanted = other ? QByteArray(def->otherTypes) : types;
    if (args.size() > wanted.size())
        return fail(QString::fromUtf8("%1 prend au plus %2 argument(s), %3 donné(s)").arg(shown).arg(wanted.size()).arg(args.size()));
    if (args.size() < def->least)
        return fail(QString::fromUtf8("%1 demande %2 argument(s), %3 donné(s) : le visualiseur planterait").arg(shown).arg(def->least).arg(args.size()));
    for (qsizetype i = 0; i < args.size(); ++i) {
        TArg &a = args[i];
        const char type = wanted[i];
        const QString place = QString::fromUtf8("argument %1 de %2").arg(i + 1).arg(shown);
        if (a.kind == 'W' && a.value.isEmpty() && (i < def->least || type != 'S'))
            return fail(place + QString::fromUtf8(" : argument attendu"));
        if ((type == 'U' || type == 'I') && a.kind != 'N') {
            const bool handle = a.kind == 'W' && (a.value == "hwndApp" || a.value == "hwndContext");
            if (!handle)
                return fail(place + QString::fromUtf8(" : nombre attendu"));
            a.text = a.value;
        } else if (type == 'B' && a.kind != 'C') {
            return fail(place + QString::fromUtf8(" : appel de macro attendu"));
        } else if ((type == 'S' || type == 'M') && (a.kind == 'N' || a.kind == 'C')) {
            return fail(place + QString::fromUtf8(" : chaîne attendue"));
        }
        if (type == 'M' && m_depth < 8) { // the macro inside the string
            TMacroCheck inner;
            QByteArray fixed;
            MacroParser nested(a.value, m_routines, inner, m_depth + 1);
            const bool ok = nested.list(&fixed);
            for (const QString &e : std::as_const(inner.errors))
                m_r.errors << place + QStringLiteral(" : ") + e;
            m_r.warnings += inner.warnings;
            m_r.jumps += inner.jumps;
            m_r.repaired = m_r.repaired || inner.repaired;
            if (!ok)
                return false;
            if (fixed != a.value.trimmed() && fixed != a.value) { // blanks around it are no change
                const char open = a.text.isEmpty() ? '`' : a.text[0];
                a.text = open + fixed + (open == '"' ? '"' : '\'');
                m_r.rewritten = true;
            }
        }
    }
    if (longName == "RegisterRoutine" && args.size() >= 2)
        m_r.routines << args[1].value.toUpper();
    if ((longName == "JumpId" || longName == "PopupId") && args.size() == 2) {
        const QByteArray file = args[0].value.trimmed();
        if (file.isEmpty() || file.startsWith('>'))
            m_r.jumps << normalizeContext(args[1].value);
    }
    return true;
}

} // namespace

TMacroCheck checkMacro(const QByteArray &macro, const QSet<QByteArray> &routines)
{
    TMacroCheck r;
    // Word turns quotes into typographic ones; a viewer knows only ` ' ".
    QByteArray text = macro;
    for (char &c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        const char plain = u == 0x91 ? '`' : u == 0x92 ? '\'' : (u == 0x93 || u == 0x94) ? '"' : c == '\t' ? ' ' : c;
        if (plain != c) {
            c = plain;
            r.rewritten = true;
        }
    }
    QByteArray out;
    MacroParser parser(text, routines, r, 0);
    if (!parser.list(&out)) {
        r.macro = macro;
        return r;
    }
    // Written again only when it had to change: a macro already in order
    // is stored as the author wrote it.
    r.macro = r.rewritten || r.repaired ? out : macro;
    return r;
}

} // namespace Hlp
