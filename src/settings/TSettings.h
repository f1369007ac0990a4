#pragma once

#include <QString>

// Where the program keeps its own files. A portable copy, recognised by the
// ".localini" marker beside the executable, keeps everything beside it: the
// first-run marker, the local INI file and the default Workspace and
// Auxiliary folders. An installed program writes nothing beside itself: its
// first-run marker lies in the per-user data folder and the default folders in
// the user's documents folder, under "Dravelin".
struct TProgramLocation {
    QString folder;          // the executable's folder, no trailing separator
    QString baseName;        // program file name without extension: "dravelin"
    QString globalIniFolder; // per-user configuration folder
    // Per-user data folder and the user's documents folder; where one is
    // empty, the program folder stands in.
    QString dataFolder;
    QString documentsFolder;

    // The ".localini" marker exists beside the executable.
    bool Portable() const;
    // The folder below which the default Workspace and Auxiliary folders lie:
    // the program folder when portable, else <documentsFolder>/Dravelin.
    QString UserFilesFolder() const;

    QString OnboardMarker() const;  // <folder or dataFolder>/<baseName>.onboard
    QString LocalIniMarker() const; // <folder>/<baseName>.localini
    QString LocalIniFile() const;   // <folder>/<baseName lower-cased>.ini
    QString GlobalIniFile() const;  // <globalIniFolder>/dravelin.ini

    // Computed from the running executable and the standard paths; creates
    // nothing.
    static TProgramLocation FromApplication();
};

// The location used by the whole program; tests replace it with folders of
// their own.
const TProgramLocation &ProgramLocation();
void SetProgramLocation(const TProgramLocation &location);

// Which actions the list shows: the values of Actions.Filter. The setting
// stays a number, so a value outside these, written by hand, is kept as it
// is and shows every action.
enum class TActionFilter : int { All = 0, Open = 1, Resolved = 2 };

// All user preferences, backed by one INI file. Field names follow the INI
// layout: Settings().Actions.Filter is key Filter of section [Actions].
class TSettings {
public:
    struct GeneralSection {
        bool SaveSettings = false;
        bool ConfirmOnExit = false;
        bool SaveLastWindowSettings = false;
        bool MakeBackup = false;
        bool ShowBottomPanel = false;
        QString DravelinURL;
        QString DravelinHint;
    } General;

    struct FoldersSection {
        QString Actions;   // the Workspace
        QString Dravelin;  // initial folder of the container dialogs
        QString Auxiliary; // root of the auxiliary folders
    } Folders;

    struct CompanySection {
        QString Name;
        QString Department;
    } Company;

    struct ActionsSection {
        bool ConfirmOnExit = false;
        bool SaveLastWindowSettings = false;
        bool TransferData = false;
        bool ColorCoding = false;
        int DueDateIndicator = 0;
        QString AtributeSeparator;
        int Filter = int(TActionFilter::All); // a TActionFilter value
        int Top = 0;
        int Left = 0;
        int Height = 0;
        int Width = 0;
    } Actions;

    struct LastWindowSection {
        int Top = 0;
        int Left = 0;
        int Height = 0;
        int Width = 0;
    } LastWindow;

    // The last choices of the "Print Action Digest" window; Index and
    // Separate are those of the action list's digest of all actions. Unlike
    // the settings above, the report choices start as the windows' first
    // choices, also before Load.
    struct DigestSection {
        bool Index = true;
        bool Properties = false;
        bool Headers = false;
        bool Separate = true;
        bool Logs = true;
        bool LimitedLog = false;
        bool Decisions = false;
        bool Statements = false;
        bool Colors = true;
        bool ShowInBrowser = true;
    } Digest;

    // The last choices of a report window of chosen columns. Columns lists
    // the source fields in the list's order, an unchecked one after a "-";
    // empty means the initial order and check marks. Align is a
    // TTitleAlign value, FontSize the index of the size in the window's list.
    struct ColumnReportSection {
        QString Columns;
        int Align = 1; // centred
        int Width = 100;
        int FontSize = 1; // "-1"
        bool Colors = true;
    };
    ColumnReportSection PrintList;   // "Print Action List"
    ColumnReportSection PrintActors; // "Print List Actors"

    // The INI file that Load and Save use now: the local one when the
    // ".localini" marker exists beside the program, else the global one.
    static QString IniFileName();

    // Reads every key from the INI file; missing keys, sections, files and
    // unreadable values give the defaults. Never fails visibly.
    void Load();
    // Writes every field to the INI file, keeping keys it does not know.
    // Throws AppError("Unable to write to <path>") when the file cannot be written.
    void Save() const;

    // The values Load gives when the INI file holds nothing: the three
    // folders lie in the user files folder of ProgramLocation().
    static TSettings Defaults();

private:
    template <typename Self, typename Visit> static void VisitFields(Self &self, Visit &&visit);
};

// The one settings object of the program.
TSettings &Settings();
