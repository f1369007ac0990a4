#pragma once

#include <QString>

class TTable;

// The identity of an action for other programs, such as the UID of its
// calendar entry: the same for the life of the action, however its Action
// File is named, renamed, moved, copied (Save as Action File) or packed and
// unpacked, because it is made only of what travels inside the file:
//
//   "<ID>-<key>@dravelin", the action's number (ID, which never changes) and
//   a key of 16 hex digits hashed from the header's Date Action List
//   (DATE_ENTERED, set when the file is made), Home ID, Foreign ID and
//   Project.
//
// Its limits: editing one of those header fields gives every action of the
// file a new identity; two Action Files made on the same day with the same
// Home ID, Foreign ID and Project (all empty, say) give their actions of the
// same number the same identity; and a copy shares the identities of its
// original, as it holds the same actions. The table files are not changed
// for it, so every Action File has one, old ones included.

// The key of the Action File whose header record is the current record of
// header (cdsAction); the key of an empty header when it holds none.
QString ActionFileKey(TTable &header);
// The identity of the action numbered actionId in the file with fileKey.
QString ActionUid(const QString &fileKey, int actionId);
