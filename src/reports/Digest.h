#pragma once

#include <QDate>
#include <QString>

class TDataModuleMain;
class THtmlPage;

// What goes into an action digest; the options of the digest window.
struct TDigestOptions {
    bool allActions = false; // every listed action, else the current one
    bool index = false;      // all actions only: an index with links
    bool properties = false; // the Action File's properties
    bool headers = false;    // action tables hold only their identifier row
    bool separate = false;   // all actions only: a rule between actions
    bool logs = true;
    bool limitedLog = false; // log entries show date, time and status line only
    bool decisions = false;
    bool statements = false;
    bool colors = true; // else black and white
};

// Writes the digest page of the Action File open in data into page: the
// current action of cdsActions, or every record of cdsActions in its current
// order and filter, with the log entries, decisions and statements of each
// in the order of their tables. today decides which actions are overdue and
// dates the title. Nothing is written when cdsActions holds no record.
//
// cdsActions, the detail filters of cdsLog, cdsDecision and cdsStatement and
// their current records are the same afterwards (the details filtered to
// the current action), also when an error interrupts the build.
void BuildDigest(TDataModuleMain &data, const TDigestOptions &options, const QDate &today, THtmlPage &page);

// The name proposed when the digest is saved: today as "yyyymmdd", then
// "_Action Digest of Action List <TITLE>.html" (no title when it is blank)
// or, for the current action, "_Action <ID_ACTION>.html". A path separator
// or control character of the title or identifier becomes "_".
QString DigestFileName(TDataModuleMain &data, const TDigestOptions &options, const QDate &today);
