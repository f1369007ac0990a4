#include "TCDSParser.h"

#include "DurableFile.h"
#include "MemberFiles.h"
#include "TGlobalTempFiles.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Members move through this buffer piece by piece, whatever their size.
constexpr qint64 ChunkSize = 256 * 1024;
constexpr qint64 MaxMemberSize = 9'999'999'999; // the most ten digits can hold

QString DeviceFileName(const QIODevice &device)
{
    const auto *file = qobject_cast<const QFileDevice *>(&device);
    return file ? file->fileName() : QString();
}

QString Cause(const QIODevice &device, const QString &fallback)
{
    const QString said = device.errorString();
    return said.isEmpty() || said == QLatin1String("Unknown error") ? fallback : said;
}

[[noreturn]] void Throw(TContainerError::Part part, bool reading, const QString &fileName,
                        const QString &cause)
{
    const QString what = !fileName.isEmpty()
                             ? QLatin1Char('"') + QDir::toNativeSeparators(fileName) + QLatin1Char('"')
                         : part == TContainerError::Container ? QStringLiteral("The Dravelin File")
                                                              : QStringLiteral("A member file");
    throw TContainerError(part,
                          QStringLiteral("%1 cannot be %2: %3")
                              .arg(what, reading ? QStringLiteral("read") : QStringLiteral("written"), cause),
                          fileName, cause);
}

[[noreturn]] void ThrowDevice(TContainerError::Part part, bool reading, const QIODevice &device,
                              const QString &fallback)
{
    Throw(part, reading, DeviceFileName(device), Cause(device, fallback));
}

// Copies count bytes; a failure is thrown for the side it happened on.
void CopyBytes(QIODevice &from, TContainerError::Part fromPart, QIODevice &to, TContainerError::Part toPart,
               qint64 count, std::vector<char> &buffer)
{
    while (count > 0) {
        const qint64 wanted = std::min(count, static_cast<qint64>(buffer.size()));
        const qint64 got = from.read(buffer.data(), wanted);
        if (got <= 0)
            ThrowDevice(fromPart, true, from, QStringLiteral("it ended before its size"));
        if (to.write(buffer.data(), got) != got)
            ThrowDevice(toPart, false, to, QStringLiteral("the disk is full"));
        count -= got;
    }
}

// A size field is exactly ten ASCII digits; anything else is refused.
bool ParseSize(const char *field, qint64 &size)
{
    size = 0;
    for (int i = 0; i < TCDSParser::FieldSize; ++i) {
        if (field[i] < '0' || field[i] > '9')
            return false;
        size = size * 10 + (field[i] - '0');
    }
    return true;
}

} // namespace

const QByteArray &TCDSParser::Magic()
{
    static const QByteArray magic("qzvrtk5208");
    return magic;
}

TCDSParser::TCDSParser(const QString &actFileName, const QString &containerFileName)
    : containerFileName_(containerFileName), files_(actFileName)
{
}

TCDSParser::TCDSParser(const QString &containerFileName, TGlobalTempFiles &tempFiles)
    : containerFileName_(containerFileName), files_(tempFiles.NewFileName(QStringLiteral("act")))
{
    for (int i = 1; i < TACTFiles::Count; ++i)
        tempFiles.Files.append(files_.Name(i));
}

void TCDSParser::Pack()
{
    // The new container is written to a temporary file beside the target and
    // renamed over it only on commit; on any failure it is discarded.
    try {
        SettleActionFile(files_.HeaderFileName());
    } catch (const AppError &failure) {
        Throw(TContainerError::Member, true, failure.FileName(), failure.Cause());
    }
    TDurableFile container(containerFileName_);
    try {
        container.Open();
    } catch (const AppError &failure) {
        Throw(TContainerError::Container, false, containerFileName_, failure.Cause());
    }

    std::array<std::unique_ptr<QFile>, TACTFiles::Count> files;
    Devices members{};
    for (int i = 0; i < TACTFiles::Count; ++i) {
        const auto index = static_cast<size_t>(i);
        files[index] = std::make_unique<QFile>(files_.Name(i));
        if (!files[index]->open(QIODevice::ReadOnly))
            ThrowDevice(TContainerError::Member, true, *files[index], QStringLiteral("it cannot be opened"));
        members[index] = files[index].get();
    }

    try {
        PackDevices(members, container.Device());
    } catch (const TContainerError &failure) {
        // A failed write to the container is thrown by its commit below,
        // which knows the cause.
        if (failure.Failed() == TContainerError::Member)
            throw;
    }
    try {
        container.Commit();
    } catch (const AppError &failure) {
        Throw(TContainerError::Container, false, containerFileName_, failure.Cause());
    }
}

bool TCDSParser::Unpack()
{
    QFile container(containerFileName_);
    if (!container.open(QIODevice::ReadOnly))
        ThrowDevice(TContainerError::Container, true, container, QStringLiteral("it cannot be opened"));

    std::array<std::unique_ptr<QFile>, TACTFiles::Count> files;
    Devices members{};
    for (int i = 0; i < TACTFiles::Count; ++i) {
        const auto index = static_cast<size_t>(i);
        files[index] = std::make_unique<QFile>();
        // Whatever lies under a member's name (the empty file reserving the
        // header's name, a link) gives way to a new file of this run.
        if (!TGlobalTempFiles::CreateNewFile(*files[index], files_.Name(i)))
            Throw(TContainerError::Member, false, files_.Name(i),
                  Cause(*files[index], QStringLiteral("it cannot be created")));
        members[index] = files[index].get();
    }

    if (!UnpackDevices(container, members))
        return false;
    // Writes are buffered: a full disk may only show when they reach the file.
    for (const auto &file : files) {
        if (!file->flush())
            ThrowDevice(TContainerError::Member, false, *file, QStringLiteral("the disk is full"));
    }
    return true;
}

void TCDSParser::PackDevices(const Devices &members, QIODevice &container)
{
    std::array<qint64, TACTFiles::Count> sizes{};
    for (size_t i = 0; i < members.size(); ++i) {
        if (members[i] == nullptr)
            Throw(TContainerError::Member, true, QString(), QStringLiteral("it is missing"));
        if (members[i]->isSequential())
            ThrowDevice(TContainerError::Member, true, *members[i], QStringLiteral("it is not a file"));
        sizes[i] = members[i]->size();
        if (sizes[i] < 0 || sizes[i] > MaxMemberSize)
            ThrowDevice(TContainerError::Member, true, *members[i],
                        QStringLiteral("it is larger than a Dravelin File holds"));
    }

    QByteArray header = Magic();
    for (const qint64 size : sizes)
        header += QByteArray::number(size).rightJustified(FieldSize, '0');
    if (container.write(header) != header.size())
        ThrowDevice(TContainerError::Container, false, container, QStringLiteral("the disk is full"));

    std::vector<char> buffer(static_cast<size_t>(ChunkSize));
    for (size_t i = 0; i < members.size(); ++i)
        CopyBytes(*members[i], TContainerError::Member, container, TContainerError::Container, sizes[i],
                  buffer);
}

bool TCDSParser::UnpackDevices(QIODevice &container, const Devices &members)
{
    // The length check needs the total size up front.
    if (container.isSequential())
        ThrowDevice(TContainerError::Container, true, container, QStringLiteral("it is not a file"));
    for (QIODevice *member : members) {
        if (member == nullptr)
            Throw(TContainerError::Member, false, QString(), QStringLiteral("it is missing"));
    }

    const QByteArray header = container.read(HeaderSize);
    if (header.size() != HeaderSize || !header.startsWith(Magic()))
        return false;

    std::array<qint64, TACTFiles::Count> sizes{};
    qint64 total = HeaderSize;
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (!ParseSize(header.constData() + FieldSize * (static_cast<int>(i) + 1), sizes[i]))
            return false;
        total += sizes[i];
    }
    if (total != container.size())
        return false;

    std::vector<char> buffer(static_cast<size_t>(ChunkSize));
    for (size_t i = 0; i < members.size(); ++i)
        CopyBytes(container, TContainerError::Container, *members[i], TContainerError::Member, sizes[i],
                  buffer);
    return true;
}
