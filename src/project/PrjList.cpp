#include "project/PrjList.h"

namespace U_PrjList {
namespace {
TErrorContext g_ctx;
}
TErrorContext &context() { return g_ctx; }
TErrorContext &FInit(bool active, bool trace, quint8 destination)
{
    return FInitUnitCtx(g_ctx, QString(), QStringLiteral("U_PrjList"), active, trace, destination);
}
} // namespace U_PrjList

namespace {
QString caption(const QString &entry)
{
    QString c = entry;
    c.replace(u'&', QStringLiteral("&&"));
    return c;
}
} // namespace

TErrorContext &TCPrjList::FInit(bool active, bool trace, qint32 *cnt2Update,
                                Platform::String255 *list2Update, quint8 nbMaxPrj, quint8 destination,
                                int places)
{
    FDeriveErrCtx(U_PrjList::context(), m_ctx, QStringLiteral("TCPrjList"), QString(), destination);
    PSetSwitches(m_ctx, active, trace, destination);
    TSubGuard sub(m_ctx, QStringLiteral("FInit"));
    if (nbMaxPrj > MaxItems)
        return sub.report(6, QStringLiteral("NbMaxPrj"), 3);
    if (!list2Update)
        return sub.report(6, QStringLiteral("PPrjList2Update"), 5);
    if (!cnt2Update)
        return sub.report(6, QStringLiteral("PPrjCnt2Update"), 5);

    m_list.clear();
    m_nbMaxPrj = nbMaxPrj;
    PrjToOpen.clear();
    m_list2Update = list2Update;
    m_places = qMax(0, places);
    m_cnt2Update = cnt2Update;
    for (auto &item : m_menuItems)
        item.clear();
    // Each place is read as it stands when its turn comes: earlier adds may
    // have rewritten the places before it.
    const int n = qMin<int>(*cnt2Update, m_places);
    for (int i = 1; i <= n; ++i) {
        const QString entry = list2Update[i - 1].get();
        Add(entry);
    }
    return sub.report(0);
}

int TCPrjList::Add(const QString &s)
{
    TSubGuard sub(m_ctx, QStringLiteral("Add"));
    const bool duplicate = m_list.contains(s, Qt::CaseInsensitive);
    if (s.isEmpty() || s == QLatin1String(" ") || duplicate) {
        sub.report(6, QStringLiteral("S = ") + s, 3);
        return 0;
    }
    if (m_list.size() >= m_nbMaxPrj && !m_list.isEmpty())
        m_list.removeFirst();
    m_list.append(s);
    const int index = int(m_list.size() - 1);
    mirror();
    sub.report(0);
    return index;
}

bool TCPrjList::Remove(const QString &s)
{
    TSubGuard sub(m_ctx, QStringLiteral("Remove"));
    const qsizetype at = m_list.indexOf(s);
    if (at < 0 || s.isEmpty()) {
        sub.report(0);
        return false;
    }
    m_list.removeAt(at);
    mirror();
    // The places the list no longer fills are emptied (their items hide).
    for (int i = int(m_list.size()); i < MaxItems; ++i) {
        if (m_menuItems[i]) {
            m_menuItems[i]->setText(QString());
            m_menuItems[i]->setData(QString());
        }
        if (m_list2Update && i < m_places)
            m_list2Update[i].set(QString());
    }
    sub.report(0);
    return true;
}

void TCPrjList::mirror()
{
    for (int i = 0; i < m_list.size(); ++i) {
        if (i < MaxItems && m_menuItems[i]) {
            m_menuItems[i]->setText(caption(m_list[i]));
            m_menuItems[i]->setData(m_list[i]);
        }
        if (m_list2Update && i < m_places)
            m_list2Update[i].set(m_list[i]);
    }
    if (m_cnt2Update)
        *m_cnt2Update = qMin<qint32>(qint32(m_list.size()), m_places);
}

void TCPrjList::PUpDate()
{
    TSubGuard sub(m_ctx, QStringLiteral("PUpDate"));
    for (int i = 0; i < m_list.size() && i < MaxItems; ++i)
        if (m_menuItems[i]) {
            m_menuItems[i]->setText(caption(m_list[i]));
            m_menuItems[i]->setData(m_list[i]);
        }
    sub.report(0);
}

void TCPrjList::PSetMenuItem(int index, QAction *action)
{
    if (index >= 0 && index < MaxItems)
        m_menuItems[index] = action;
}

QString TCPrjList::FEntryOf(const QAction *action)
{
    if (!action)
        return {};
    const QString data = action->data().toString();
    if (!data.isEmpty())
        return data.left(255);
    QString text = action->text();
    text.replace(QStringLiteral("&&"), QStringLiteral("&"));
    return text.left(255);
}
