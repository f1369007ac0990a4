#pragma once

#include "RecordMerge.h"

#include <QDate>

// The actions the tests of the synchronisation start from.

// An action with every field set to an ordinary value.
inline TRecordValues FullAction()
{
    return {{QStringLiteral("ID"), 42},
            {QStringLiteral("ID_CHAIN"), 43},
            {QStringLiteral("ATTRIBUTE"), QStringLiteral("PRJ_00042")},
            {QStringLiteral("ID_ACTION"), QStringLiteral("QUAY-4")},
            {QStringLiteral("DATE_ACTION"), QDate(2026, 3, 1)},
            {QStringLiteral("DATE_DUE"), QDate(2026, 4, 30)},
            {QStringLiteral("DATE_STATUS"), QDate(2026, 3, 2)},
            {QStringLiteral("DATE_FINISHED"), QVariant()},
            {QStringLiteral("SYNOPSIS"), QStringLiteral("Order fenders")},
            {QStringLiteral("DESCRIPTION"), QStringLiteral("Two sizes.\nAsk the harbour master first.")},
            {QStringLiteral("ACTOR_OWNER"), QStringLiteral("Okafor")},
            {QStringLiteral("ACTOR_ORGANIZOR"), QStringLiteral("Moreau")},
            {QStringLiteral("STATUS"), QStringLiteral("Active")},
            {QStringLiteral("SEVERITY"), QStringLiteral("High")},
            {QStringLiteral("RELATIONS"), QStringLiteral("QUAY-1")},
            {QStringLiteral("FUNCTIONAL_AREA"), QStringLiteral("Harbour")},
            {QStringLiteral("SIGN_OFF"), QVariant()}};
}

inline TRecordValues With(TRecordValues action, const TRecordValues &changes)
{
    action.insert(changes);
    return action;
}
