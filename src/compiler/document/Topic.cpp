// Topics of the help document.
#include "compiler/document/Topic.h"

namespace Hlp {

bool TSourceTopic::isEmpty() const
{
    auto blank = [](const QList<TParagraph> &paras) {
        for (const TParagraph &p : paras)
            if (!p.items.isEmpty())
                return false;
        return true;
    };
    return contexts.isEmpty() && title.isEmpty() && keywords.isEmpty() && blank(nonScrolling) && blank(scrolling);
}

} // namespace Hlp
