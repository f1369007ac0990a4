#include "TSettings.h"

#include "AppError.h"
#include "TIniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
// Computed from the running program on first use unless a test set it.
TProgramLocation &location()
{
    static TProgramLocation instance = TProgramLocation::FromApplication();
    return instance;
}
} // namespace

bool TProgramLocation::Portable() const
{
    return QFileInfo::exists(LocalIniMarker());
}

QString TProgramLocation::UserFilesFolder() const
{
    if (Portable() || documentsFolder.isEmpty())
        return folder;
    return documentsFolder + QStringLiteral("/Dravelin");
}

QString TProgramLocation::OnboardMarker() const
{
    const QString markerFolder = Portable() || dataFolder.isEmpty() ? folder : dataFolder;
    return markerFolder + QLatin1Char('/') + baseName + QStringLiteral(".onboard");
}

QString TProgramLocation::LocalIniMarker() const
{
    return folder + QLatin1Char('/') + baseName + QStringLiteral(".localini");
}

QString TProgramLocation::LocalIniFile() const
{
    return folder + QLatin1Char('/') + baseName.toLower() + QStringLiteral(".ini");
}

QString TProgramLocation::GlobalIniFile() const
{
    return globalIniFolder + QStringLiteral("/dravelin.ini");
}

TProgramLocation TProgramLocation::FromApplication()
{
    TProgramLocation result;
    const QFileInfo program(QCoreApplication::applicationFilePath());
    result.baseName =
        program.completeBaseName().isEmpty() ? QStringLiteral("dravelin") : program.completeBaseName();
    result.folder = program.absolutePath();
    result.globalIniFolder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    result.dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    result.documentsFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return result;
}

const TProgramLocation &ProgramLocation()
{
    return location();
}

void SetProgramLocation(const TProgramLocation &newLocation)
{
    location() = newLocation;
}

TSettings &Settings()
{
    static TSettings instance;
    return instance;
}

QString TSettings::IniFileName()
{
    const TProgramLocation &where = ProgramLocation();
    return QFileInfo::exists(where.LocalIniMarker()) ? where.LocalIniFile() : where.GlobalIniFile();
}

namespace {

const QString kDefaultURL = QStringLiteral("https://www.example.org/dravelin");
const QString kDefaultHint = QStringLiteral("Dravelin\u00AE Ostravine \u2013 a register of action items");

// Values longer than this are cut on reading, as the INI service's buffer would.
constexpr qsizetype kMaxValueLength = 2047;

// Decimal with an optional sign, or "0x" hexadecimal of up to 32 bits (read
// as the signed number with the same bits).
std::optional<int> parseNumber(const QString &text)
{
    bool ok = false;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QStringView digits = QStringView(text).mid(2);
        const qulonglong value = digits.toULongLong(&ok, 16);
        if (!ok || digits.startsWith(QLatin1Char('+')) || value > 0xFFFFFFFFull)
            return std::nullopt;
        return static_cast<int>(static_cast<quint32>(value));
    }
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

class Reader {
public:
    explicit Reader(const TIniFile &ini) : ini_(ini) {}

    void operator()(const QString &section, const QString &key, bool &field) const
    {
        if (const auto number = readNumber(section, key))
            field = *number != 0;
    }
    void operator()(const QString &section, const QString &key, int &field) const
    {
        if (const auto number = readNumber(section, key))
            field = *number;
    }
    void operator()(const QString &section, const QString &key, QString &field) const
    {
        if (const auto text = read(section, key))
            field = *text;
    }

private:
    std::optional<QString> read(const QString &section, const QString &key) const
    {
        const auto text = ini_.Value(section, key);
        return text ? std::optional<QString>(text->left(kMaxValueLength)) : std::nullopt;
    }
    std::optional<int> readNumber(const QString &section, const QString &key) const
    {
        const auto text = read(section, key);
        return text ? parseNumber(*text) : std::nullopt;
    }
    const TIniFile &ini_;
};

class Writer {
public:
    explicit Writer(TIniFile &ini) : ini_(ini) {}

    void operator()(const QString &section, const QString &key, bool field) const
    {
        ini_.SetValue(section, key, field ? QStringLiteral("1") : QStringLiteral("0"));
    }
    void operator()(const QString &section, const QString &key, int field) const
    {
        ini_.SetValue(section, key, QString::number(field));
    }
    void operator()(const QString &section, const QString &key, const QString &field) const
    {
        ini_.SetValue(section, key, field);
    }

private:
    TIniFile &ini_;
};

// Collects the sections and keys in the order the fields are visited.
class LayoutCollector {
public:
    template <typename Field> void operator()(const QString &section, const QString &key, const Field &)
    {
        if (layout.isEmpty() || layout.last().name != section)
            layout.append({section, {}});
        layout.last().keys << key;
    }
    QList<TIniFile::SectionLayout> layout;
};

} // namespace

// Every setting with its section and key, in the order of the INI file.
template <typename Self, typename Visit> void TSettings::VisitFields(Self &self, Visit &&visit)
{
    const auto general = QStringLiteral("General");
    visit(general, QStringLiteral("SaveSettings"), self.General.SaveSettings);
    visit(general, QStringLiteral("ConfirmOnExit"), self.General.ConfirmOnExit);
    visit(general, QStringLiteral("SaveLastWindowSettings"), self.General.SaveLastWindowSettings);
    visit(general, QStringLiteral("MakeBackup"), self.General.MakeBackup);
    visit(general, QStringLiteral("ShowBottomPanel"), self.General.ShowBottomPanel);
    visit(general, QStringLiteral("DravelinURL"), self.General.DravelinURL);
    visit(general, QStringLiteral("DravelinHint"), self.General.DravelinHint);
    const auto folders = QStringLiteral("Folders");
    visit(folders, QStringLiteral("Actions"), self.Folders.Actions);
    visit(folders, QStringLiteral("Dravelin"), self.Folders.Dravelin);
    visit(folders, QStringLiteral("Auxiliary"), self.Folders.Auxiliary);
    const auto company = QStringLiteral("Company");
    visit(company, QStringLiteral("Name"), self.Company.Name);
    visit(company, QStringLiteral("Department"), self.Company.Department);
    const auto actions = QStringLiteral("Actions");
    visit(actions, QStringLiteral("ConfirmOnExit"), self.Actions.ConfirmOnExit);
    visit(actions, QStringLiteral("SaveLastWindowSettings"), self.Actions.SaveLastWindowSettings);
    visit(actions, QStringLiteral("TransferData"), self.Actions.TransferData);
    visit(actions, QStringLiteral("ColorCoding"), self.Actions.ColorCoding);
    visit(actions, QStringLiteral("DueDateIndicator"), self.Actions.DueDateIndicator);
    visit(actions, QStringLiteral("AtributeSeparator"), self.Actions.AtributeSeparator);
    visit(actions, QStringLiteral("Filter"), self.Actions.Filter);
    visit(actions, QStringLiteral("Top"), self.Actions.Top);
    visit(actions, QStringLiteral("Left"), self.Actions.Left);
    visit(actions, QStringLiteral("Height"), self.Actions.Height);
    visit(actions, QStringLiteral("Width"), self.Actions.Width);
    const auto lastWindow = QStringLiteral("LastWindow");
    visit(lastWindow, QStringLiteral("Top"), self.LastWindow.Top);
    visit(lastWindow, QStringLiteral("Left"), self.LastWindow.Left);
    visit(lastWindow, QStringLiteral("Height"), self.LastWindow.Height);
    visit(lastWindow, QStringLiteral("Width"), self.LastWindow.Width);
    const auto digest = QStringLiteral("Digest");
    visit(digest, QStringLiteral("Index"), self.Digest.Index);
    visit(digest, QStringLiteral("Properties"), self.Digest.Properties);
    visit(digest, QStringLiteral("Headers"), self.Digest.Headers);
    visit(digest, QStringLiteral("Separate"), self.Digest.Separate);
    visit(digest, QStringLiteral("Logs"), self.Digest.Logs);
    visit(digest, QStringLiteral("LimitedLog"), self.Digest.LimitedLog);
    visit(digest, QStringLiteral("Decisions"), self.Digest.Decisions);
    visit(digest, QStringLiteral("Statements"), self.Digest.Statements);
    visit(digest, QStringLiteral("Colors"), self.Digest.Colors);
    visit(digest, QStringLiteral("ShowInBrowser"), self.Digest.ShowInBrowser);
    for (const auto &[section, report] : {std::pair{QStringLiteral("PrintList"), &self.PrintList},
                                          std::pair{QStringLiteral("PrintActors"), &self.PrintActors}}) {
        visit(section, QStringLiteral("Columns"), report->Columns);
        visit(section, QStringLiteral("Align"), report->Align);
        visit(section, QStringLiteral("Width"), report->Width);
        visit(section, QStringLiteral("FontSize"), report->FontSize);
        visit(section, QStringLiteral("Colors"), report->Colors);
    }
}

TSettings TSettings::Defaults()
{
    const QString userFiles = ProgramLocation().UserFilesFolder();
    TSettings defaults;
    defaults.General = {.SaveSettings = true,
                        .ConfirmOnExit = true,
                        .SaveLastWindowSettings = false,
                        .MakeBackup = true,
                        .ShowBottomPanel = true,
                        .DravelinURL = kDefaultURL,
                        .DravelinHint = kDefaultHint};
    defaults.Folders = {.Actions = userFiles + QStringLiteral("/Actions"),
                        .Dravelin = userFiles + QStringLiteral("/Actions"),
                        .Auxiliary = userFiles + QStringLiteral("/Auxiliary")};
    defaults.Company = {.Name = QString(), .Department = QString()};
    defaults.Actions = {.ConfirmOnExit = true,
                        .SaveLastWindowSettings = false,
                        .TransferData = true,
                        .ColorCoding = true,
                        .DueDateIndicator = 1,
                        .AtributeSeparator = QStringLiteral("_"),
                        .Filter = int(TActionFilter::All),
                        .Top = 0,
                        .Left = 0,
                        .Height = 600,
                        .Width = 870};
    defaults.LastWindow = {.Top = 0, .Left = 0, .Height = 600, .Width = 840};

    return defaults;
}

void TSettings::Load()
{
    *this = Defaults();
    TIniFile ini;
    if (ini.Load(IniFileName()))
        VisitFields(*this, Reader(ini));
}

void TSettings::Save() const
{
    const QString path = IniFileName();
    TIniFile ini;
    // Unknown keys must survive, so a file that exists but cannot be read is
    // not replaced.
    if (!ini.Load(path))
        throw AppError(QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(path));
    VisitFields(*this, Writer(ini));
    LayoutCollector collector;
    VisitFields(*this, collector);
    ini.Arrange(collector.layout);
    ini.Save(path);
}
