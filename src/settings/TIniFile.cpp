#include "TIniFile.h"

#include "AppError.h"
#include "DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>

namespace {

// Old INI files may be in an 8-bit code page; read them as Latin-1 rather
// than turning their bytes into replacement characters.
QString decode(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

QString oneLine(QString value)
{
    value.replace(QLatin1String("\r\n"), QLatin1String(" "));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

// A read-only file is refused even for a user whom the system would let
// write it, as the INI service of the original platform does.
bool isReadOnly(const QFileInfo &info)
{
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return !info.isWritable() || !(info.permissions() & anyWrite);
}

[[noreturn]] void cannotWrite(const QString &path)
{
    throw AppError(QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(path));
}

} // namespace

bool TIniFile::Load(const QString &path)
{
    preamble_.clear();
    sections_.clear();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Parse(file.readAll());
    return file.error() == QFileDevice::NoError;
}

void TIniFile::Parse(const QByteArray &bytes)
{
    preamble_.clear();
    sections_.clear();
    const QStringList lines = decode(bytes).split(QLatin1Char('\n'));
    Section *current = nullptr;
    for (QString raw : lines) {
        if (raw.endsWith(QLatin1Char('\r')))
            raw.chop(1);
        const QString trimmed = raw.trimmed();
        if (trimmed.isEmpty())
            continue;
        const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
        if (trimmed.startsWith(QLatin1Char('[')) && close > 0) {
            const QString name = trimmed.mid(1, close - 1).trimmed();
            current = find(name);
            if (!current) {
                sections_.append({name, {}});
                current = &sections_.last();
            }
            continue;
        }
        if (!current) {
            preamble_ << raw;
            continue;
        }
        Line line;
        line.raw = raw;
        const qsizetype equals = raw.indexOf(QLatin1Char('='));
        if (equals > 0 && !trimmed.startsWith(QLatin1Char(';'))) {
            line.key = raw.left(equals).trimmed();
            line.value = raw.mid(equals + 1).trimmed();
        }
        current->lines.append(line);
    }
}

TIniFile::Section *TIniFile::find(const QString &name)
{
    for (Section &section : sections_)
        if (section.name.compare(name, Qt::CaseInsensitive) == 0)
            return &section;
    return nullptr;
}

const TIniFile::Section *TIniFile::find(const QString &name) const
{
    return const_cast<TIniFile *>(this)->find(name);
}

std::optional<QString> TIniFile::Value(const QString &section, const QString &key) const
{
    const Section *found = find(section);
    if (!found)
        return std::nullopt;
    for (const Line &line : found->lines)
        if (!line.key.isEmpty() && line.key.compare(key, Qt::CaseInsensitive) == 0)
            return line.value;
    return std::nullopt;
}

void TIniFile::SetValue(const QString &section, const QString &key, const QString &value)
{
    Section *found = find(section);
    if (!found) {
        sections_.append({section, {}});
        found = &sections_.last();
    }
    Line *target = nullptr;
    for (qsizetype i = 0; i < found->lines.size(); ++i) {
        Line &line = found->lines[i];
        if (line.key.isEmpty() || line.key.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        if (!target) {
            target = &line;
        } else {
            // A repeated key would shadow nothing but confuse the reader: drop it.
            found->lines.remove(i);
            --i;
        }
    }
    if (!target) {
        found->lines.append(Line{});
        target = &found->lines.last();
    }
    target->key = key;
    target->value = oneLine(value);
    target->changed = true;
}

void TIniFile::Arrange(const QList<SectionLayout> &layout)
{
    QList<Section> ordered;
    for (const SectionLayout &wanted : layout) {
        const Section *present = find(wanted.name);
        if (!present)
            continue;
        Section section{wanted.name, {}};
        QList<Line> rest = present->lines;
        for (const QString &key : wanted.keys) {
            for (qsizetype i = 0; i < rest.size(); ++i) {
                if (!rest[i].key.isEmpty() && rest[i].key.compare(key, Qt::CaseInsensitive) == 0) {
                    section.lines.append(rest.takeAt(i));
                    break;
                }
            }
        }
        section.lines.append(rest);
        ordered.append(section);
    }
    for (const Section &section : std::as_const(sections_)) {
        const bool listed = std::any_of(layout.cbegin(), layout.cend(), [&](const SectionLayout &wanted) {
            return wanted.name.compare(section.name, Qt::CaseInsensitive) == 0;
        });
        if (!listed)
            ordered.append(section);
    }
    sections_ = ordered;
}

QByteArray TIniFile::ToBytes() const
{
    QString text;
    for (const QString &line : preamble_)
        text += line + QLatin1Char('\n');
    for (const Section &section : sections_) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QLatin1Char('[') + section.name + QLatin1String("]\n");
        for (const Line &line : section.lines)
            text += (line.changed ? line.key + QLatin1Char('=') + line.value : line.raw) + QLatin1Char('\n');
    }
    return text.toUtf8();
}

void TIniFile::Save(const QString &path) const
{
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || isReadOnly(info)))
        cannotWrite(path);
    if (!QDir().mkpath(info.absolutePath()))
        cannotWrite(path);
    if (!WriteFileDurably(path, ToBytes()))
        cannotWrite(path);
}
