#include "SyncSummary.h"

namespace {

QString Count(int count, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

QString TSyncSummary::Text() const
{
    QStringList parts{Count(sent, "sent", "sent"), Count(received, "received", "received")};
    if (conflicts > 0)
        parts.append(Count(conflicts, "conflict", "conflicts"));
    if (deletedHere > 0)
        parts.append(Count(deletedHere, "deleted here", "deleted here"));
    if (deletedThere > 0)
        parts.append(Count(deletedThere, "deleted on the server", "deleted on the server"));
    return parts.join(QStringLiteral(", "));
}
