#pragma once
// The recently used projects, oldest first, mirrored on every change into
// the program settings (so that writing the settings stores it) and into up
// to ten menu items.
#include "errors/ErrorContext.h"
#include "platform/ShortString.h"

#include <QAction>
#include <QPointer>
#include <QStringList>
#include <array>

class TCPrjList {
public:
    static constexpr int MaxItems = 10;

    // `places` is the number of strings that `list2Update` holds.
    TErrorContext &FInit(bool active, bool trace, qint32 *cnt2Update, Platform::String255 *list2Update,
                         quint8 nbMaxPrj, quint8 destination, int places = 3);
    // Appends an entry (dropping the oldest when full); refuses empty,
    // single-blank and already listed (ignoring case) entries. Returns the
    // entry's index, 0 when refused.
    int Add(const QString &s);
    // Takes an entry out (a project deleted or moved away); false when it
    // was not listed.
    bool Remove(const QString &s);
    void PUpDate();
    void PSetMenuItem(int index, QAction *action);

    int count() const { return int(m_list.size()); }
    QString at(int i) const { return m_list.value(i); }
    const QStringList &entries() const { return m_list; }
    TErrorContext &context() { return m_ctx; }

    // The entry that a menu item shows (its caption escapes '&').
    static QString FEntryOf(const QAction *action);

    QString PrjToOpen;

private:
    void mirror();

    TErrorContext m_ctx;
    QStringList m_list;
    quint8 m_nbMaxPrj = 0;
    Platform::String255 *m_list2Update = nullptr;
    int m_places = 0;
    qint32 *m_cnt2Update = nullptr;
    std::array<QPointer<QAction>, MaxItems> m_menuItems{};
};

namespace U_PrjList {
TErrorContext &context();
TErrorContext &FInit(bool active, bool trace, quint8 destination);
} // namespace U_PrjList
