#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <initializer_list>

class QIODevice;
class TGlobalTempFiles;

// The bytes of a page file, built line by line: every line followed by CR
// LF, in ASCII, with every character above U+007F written as a decimal
// numeric character reference ("&#228;"; a character beyond the Basic
// Multilingual Plane as one reference, not two halves). Every other byte of
// every line stays as given, no byte-order mark is written and the page
// declares no character set, so any browser shows every character exactly.
//
// Builders of pages (the sheets, the digest, the list and contacts reports,
// the command-line tool) write their lines with Add or <<. With a device the
// bytes go to it in large chunks as the page grows, so a page of any size
// needs little memory; without one the whole page stays in Bytes().
class THtmlPage {
public:
    explicit THtmlPage(QIODevice *device = nullptr);
    THtmlPage(const THtmlPage &) = delete;
    THtmlPage &operator=(const THtmlPage &) = delete;

    void Add(QStringView line);
    THtmlPage &operator<<(QStringView line)
    {
        Add(line);
        return *this;
    }
    void Add(const QStringList &lines);
    // One line made of parts, without joining them first.
    void Add(std::initializer_list<QStringView> parts);

    // Hands what is buffered to the device; throws AppError when the device
    // refuses it. Without a device it does nothing.
    void Flush();

    // The page so far (without a device), or what is not flushed yet.
    const QByteArray &Bytes() const { return bytes_; }

private:
    void Append(QStringView text);
    void EndLine();
    void AppendReference(char32_t code);

    QIODevice *device_;
    QByteArray bytes_;
};

// The page file bytes of lines, as THtmlPage writes them.
QByteArray HtmlPageBytes(const QStringList &lines);

// Takes a new temporary "html" file from temp, builds the page into it with
// build and returns the file's name. Throws AppError when the file cannot be
// written; what build throws goes on.
QString WriteTemporaryPage(TGlobalTempFiles &temp, const std::function<void(THtmlPage &)> &build);
QString WriteTemporaryPage(TGlobalTempFiles &temp, const QStringList &lines);

// Copies the written page pageFile to the file target the user named,
// replacing it atomically: target holds its old content or the whole page.
// Throws AppError naming target and the cause when it fails.
void SavePageAs(const QString &pageFile, const QString &target);
