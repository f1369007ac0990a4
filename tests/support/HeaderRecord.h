#pragma once

#include "TDataModuleMain.h"

// Reads and changes the TITLE of the open Action File's header record, the
// simplest edit a test can make and find again after a save or a copy.
// Header-only: only suites that link the data layer include it.
inline QString HeaderTitle(TDataModuleMain &data)
{
    return data.cdsAction->FieldByName(QStringLiteral("TITLE")).AsString();
}

inline void SetHeaderTitle(TDataModuleMain &data, const QString &title)
{
    data.cdsAction->Edit();
    data.cdsAction->FieldByName(QStringLiteral("TITLE")).SetAsString(title);
    data.cdsAction->Post();
}
