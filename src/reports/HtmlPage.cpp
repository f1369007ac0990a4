#include "HtmlPage.h"

#include "AppError.h"
#include "DurableFile.h"
#include "TGlobalTempFiles.h"

#include <QDir>
#include <QFile>

namespace {

// Bytes gathered before they go to the device.
constexpr qsizetype kChunkSize = 1 << 20;

AppError WriteError(const QString &fileName, const QString &why)
{
    return AppError(QStringLiteral("The page \"%1\" could not be written: %2")
                        .arg(QDir::toNativeSeparators(fileName), why),
                    fileName, why);
}

} // namespace

THtmlPage::THtmlPage(QIODevice *device) : device_(device)
{
    if (device_)
        bytes_.reserve(kChunkSize + 4096);
}

void THtmlPage::Add(QStringView line)
{
    Append(line);
    EndLine();
}

void THtmlPage::Add(std::initializer_list<QStringView> parts)
{
    for (QStringView part : parts)
        Append(part);
    EndLine();
}

void THtmlPage::Add(const QStringList &lines)
{
    for (const QString &line : lines)
        Add(line);
}

void THtmlPage::Append(QStringView text)
{
    // ASCII is copied by a tight loop into room made for the whole text;
    // the rare other characters go through the slow path.
    const qsizetype start = bytes_.size();
    bytes_.resize(start + text.size());
    char *out = bytes_.data() + start;
    const char16_t *in = text.utf16();
    const char16_t *end = in + text.size();
    while (in != end && *in < 0x80)
        *out++ = char(*in++);
    if (in == end)
        return;
    bytes_.truncate(out - bytes_.constData());
    for (; in != end; ++in) {
        char32_t code = *in;
        if (QChar::isHighSurrogate(code) && in + 1 != end && QChar::isLowSurrogate(in[1])) {
            code = QChar::surrogateToUcs4(in[0], in[1]);
            ++in;
        } else if (QChar::isSurrogate(code)) {
            code = 0xFFFD; // half a pair is no character; show the replacement sign
        }
        if (code < 0x80)
            bytes_.append(char(code));
        else
            AppendReference(code);
    }
}

void THtmlPage::EndLine()
{
    bytes_.append("\r\n", 2);
    if (device_ && bytes_.size() >= kChunkSize)
        Flush();
}

void THtmlPage::AppendReference(char32_t code)
{
    bytes_.append("&#", 2);
    bytes_.append(QByteArray::number(uint(code)));
    bytes_.append(';');
}

void THtmlPage::Flush()
{
    if (!device_ || bytes_.isEmpty())
        return;
    if (device_->write(bytes_) != bytes_.size()) {
        const auto *file = qobject_cast<QFileDevice *>(device_);
        throw WriteError(file ? file->fileName() : QString(), device_->errorString());
    }
    bytes_.clear();
}

QByteArray HtmlPageBytes(const QStringList &lines)
{
    THtmlPage page;
    page.Add(lines);
    return page.Bytes();
}

QString WriteTemporaryPage(TGlobalTempFiles &temp, const std::function<void(THtmlPage &)> &build)
{
    const QString fileName = temp.NewFileName(QStringLiteral("html"));
    QFile file;
    if (!TGlobalTempFiles::CreateNewFile(file, fileName))
        throw WriteError(fileName, file.errorString());
    THtmlPage page(&file);
    build(page);
    page.Flush();
    if (!file.flush() || (file.close(), file.error() != QFileDevice::NoError))
        throw WriteError(fileName, file.errorString());
    return fileName;
}

QString WriteTemporaryPage(TGlobalTempFiles &temp, const QStringList &lines)
{
    return WriteTemporaryPage(temp, [&lines](THtmlPage &page) { page.Add(lines); });
}

void SavePageAs(const QString &pageFile, const QString &target)
{
    try {
        CopyFileDurably(pageFile, target);
    } catch (const AppError &failure) {
        throw WriteError(target, failure.Cause());
    }
}
