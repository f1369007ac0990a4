#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// A small INI file in memory: sections of "Key=Value" lines, looked up
// case-insensitively as the classic INI service does. Each line is read as
// UTF-8, or as Latin-1 where its bytes are not UTF-8. Lines it does not
// understand (comments, stray text), keys nobody asks for and values set to
// what they already were are written back byte for byte.
class TIniFile {
public:
    // Sections and the keys of each, in the order a file should show them.
    struct SectionLayout {
        QString name;
        QStringList keys;
    };

    // Reads the file. A missing file gives an empty INI and true; a file that
    // exists but cannot be read gives false and leaves the INI empty.
    bool Load(const QString &path);
    void Parse(const QByteArray &bytes);

    // The value of Key in [Section], trimmed; nullopt when either is missing.
    std::optional<QString> Value(const QString &section, const QString &key) const;
    // Sets Key in [Section], adding the section or key at the end when absent.
    // Line breaks in the value become spaces, so a value stays on its line.
    void SetValue(const QString &section, const QString &key, const QString &value);

    // Puts the given sections first, in the given order, and within each of
    // them the given keys first, in the given order; every other section and
    // line follows in its original order.
    void Arrange(const QList<SectionLayout> &layout);

    QByteArray ToBytes() const;
    // Replaces the file atomically; the old content stays when anything fails.
    // Throws AppError("Unable to write to <path>").
    void Save(const QString &path) const;

private:
    struct Line {
        QString key; // empty for a line that is not "Key=Value"
        QString value;
        QByteArray raw; // the line's bytes as read, written back when the key is untouched
        bool changed = false;
    };
    struct Section {
        QString name;
        QByteArray header; // the "[name]" line's bytes as read; empty for a new section
        QList<Line> lines;
    };

    Section *find(const QString &name);
    const Section *find(const QString &name) const;

    QList<QByteArray> preamble_; // lines before the first section, as read
    QList<Section> sections_;
};
