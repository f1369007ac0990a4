#include "TIniFile.h"

#include "AppError.h"
#include "DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>

namespace {

const QByteArray kByteOrderMark("\xEF\xBB\xBF");

// Each line is UTF-8, or, where its bytes are not, an 8-bit code page read
// as Latin-1: one stray byte must not change how the other lines read.
QString decodeLine(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
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

[[noreturn]] void cannotWrite(const QString &path, const QString &cause = QString())
{
    throw AppError(QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(path), path, cause);
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
    const QByteArray content = bytes.startsWith(kByteOrderMark) ? bytes.mid(3) : bytes;
    Section *current = nullptr;
    for (QByteArray raw : content.split('\n')) {
        // Every carriage return at the end goes, or a line written back with
        // one would read differently the next time.
        while (raw.endsWith('\r'))
            raw.chop(1);
        const QString text = decodeLine(raw);
        const QString trimmed = text.trimmed();
        if (trimmed.isEmpty())
            continue;
        const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
        if (trimmed.startsWith(QLatin1Char('[')) && close > 0) {
            const QString name = trimmed.mid(1, close - 1).trimmed();
            current = find(name);
            if (!current) {
                sections_.append({name, raw, {}});
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
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        if (equals > 0 && !trimmed.startsWith(QLatin1Char(';'))) {
            line.key = text.left(equals).trimmed();
            line.value = text.mid(equals + 1).trimmed();
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
        sections_.append({section, {}, {}});
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
    // A value written as it was read keeps its line byte for byte, whatever
    // encoding or spacing the line has.
    if (!target->changed && !target->raw.isEmpty() && target->key == key && target->value == oneLine(value))
        return;
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
        // The section name is written as the layout spells it.
        Section section{wanted.name, present->name == wanted.name ? present->header : QByteArray(), {}};
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
    QByteArray bytes;
    for (const QByteArray &line : preamble_)
        bytes += line + '\n';
    for (const Section &section : sections_) {
        if (!bytes.isEmpty())
            bytes += '\n';
        bytes += section.header.isEmpty() ? (QLatin1Char('[') + section.name + QLatin1Char(']')).toUtf8()
                                          : section.header;
        bytes += '\n';
        for (const Line &line : section.lines)
            bytes += (line.changed ? (line.key + QLatin1Char('=') + line.value).toUtf8() : line.raw) + '\n';
    }
    // Reading drops one byte order mark; a line that began with one of its
    // own keeps it.
    if (bytes.startsWith(kByteOrderMark))
        bytes.prepend(kByteOrderMark);
    return bytes;
}

void TIniFile::Save(const QString &path) const
{
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || isReadOnly(info)))
        cannotWrite(path);
    if (!QDir().mkpath(info.absolutePath()))
        cannotWrite(path);
    try {
        WriteFileDurably(path, ToBytes());
    } catch (const AppError &failure) {
        cannotWrite(path, failure.Cause());
    }
}
