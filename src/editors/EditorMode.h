#pragma once

// How a record editor was opened: emNew when the caller inserted a new
// record, emEdit when it put the current record in edit state, emView when
// the record was opened read-only from the search results.
enum TEditorMode { emNew = 0, emEdit = 1, emView = 2 };
