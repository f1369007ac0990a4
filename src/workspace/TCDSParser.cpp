#include "TCDSParser.h"

#include "DurableFile.h"
#include "MemberFiles.h"
#include "TGlobalTempFiles.h"

#include <QFile>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Members move through this buffer piece by piece, whatever their size.
constexpr qint64 ChunkSize = 256 * 1024;
constexpr qint64 MaxMemberSize = 9'999'999'999; // the most ten digits can hold

enum class CopyResult { Ok, ReadFailed, WriteFailed };

CopyResult CopyBytes(QIODevice &from, QIODevice &to, qint64 count, std::vector<char> &buffer)
{
    while (count > 0) {
        const qint64 wanted = std::min(count, static_cast<qint64>(buffer.size()));
        const qint64 got = from.read(buffer.data(), wanted);
        if (got <= 0)
            return CopyResult::ReadFailed;
        if (to.write(buffer.data(), got) != got)
            return CopyResult::WriteFailed;
        count -= got;
    }
    return CopyResult::Ok;
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

TCDSParser::PackResult TCDSParser::Pack()
{
    // The new container is written to a temporary file beside the target and
    // renamed over it only on commit; on any failure it is discarded.
    // A member with a journal beside it is made whole before it is packed.
    if (!SettleActionFile(files_.HeaderFileName()))
        return PackCannotOpenMember;
    TDurableFile container(containerFileName_);
    if (!container.Open())
        return PackCannotCreateContainer;

    std::array<std::unique_ptr<QFile>, TACTFiles::Count> files;
    Devices members{};
    for (int i = 0; i < TACTFiles::Count; ++i) {
        const auto index = static_cast<size_t>(i);
        files[index] = std::make_unique<QFile>(files_.Name(i));
        if (!files[index]->open(QIODevice::ReadOnly))
            return PackCannotOpenMember;
        members[index] = files[index].get();
    }

    const PackResult result = PackDevices(members, container.Device());
    if (result != PackOk)
        return result;
    return container.Commit() ? PackOk : PackCannotCreateContainer;
}

TCDSParser::UnpackResult TCDSParser::Unpack()
{
    QFile container(containerFileName_);
    if (!container.open(QIODevice::ReadOnly))
        return UnpackCannotOpenContainer;

    std::array<std::unique_ptr<QFile>, TACTFiles::Count> files;
    Devices members{};
    for (int i = 0; i < TACTFiles::Count; ++i) {
        const auto index = static_cast<size_t>(i);
        files[index] = std::make_unique<QFile>();
        // Whatever lies under a member's name (the empty file reserving the
        // header's name, a link) gives way to a new file of this run.
        if (!TGlobalTempFiles::CreateNewFile(*files[index], files_.Name(i)))
            return UnpackCannotCreateMember;
        members[index] = files[index].get();
    }

    const UnpackResult result = UnpackDevices(container, members);
    if (result != UnpackOk)
        return result;
    // Writes are buffered: a full disk may only show when they reach the file.
    for (const auto &file : files) {
        if (!file->flush())
            return UnpackCannotCreateMember;
    }
    return UnpackOk;
}

TCDSParser::PackResult TCDSParser::PackDevices(const Devices &members, QIODevice &container)
{
    std::array<qint64, TACTFiles::Count> sizes{};
    for (size_t i = 0; i < members.size(); ++i) {
        if (members[i] == nullptr || members[i]->isSequential())
            return PackCannotOpenMember;
        sizes[i] = members[i]->size();
        if (sizes[i] < 0 || sizes[i] > MaxMemberSize)
            return PackCannotOpenMember;
    }

    QByteArray header = Magic();
    for (const qint64 size : sizes)
        header += QByteArray::number(size).rightJustified(FieldSize, '0');
    if (container.write(header) != header.size())
        return PackCannotCreateContainer;

    std::vector<char> buffer(static_cast<size_t>(ChunkSize));
    for (size_t i = 0; i < members.size(); ++i) {
        switch (CopyBytes(*members[i], container, sizes[i], buffer)) {
        case CopyResult::Ok:
            break;
        case CopyResult::ReadFailed:
            return PackCannotOpenMember;
        case CopyResult::WriteFailed:
            return PackCannotCreateContainer;
        }
    }
    return PackOk;
}

TCDSParser::UnpackResult TCDSParser::UnpackDevices(QIODevice &container, const Devices &members)
{
    // The length check needs the total size up front.
    if (container.isSequential())
        return UnpackCannotOpenContainer;
    for (QIODevice *member : members) {
        if (member == nullptr)
            return UnpackCannotCreateMember;
    }

    const QByteArray header = container.read(HeaderSize);
    if (header.size() != HeaderSize || !header.startsWith(Magic()))
        return UnpackNotValid;

    std::array<qint64, TACTFiles::Count> sizes{};
    qint64 total = HeaderSize;
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (!ParseSize(header.constData() + FieldSize * (static_cast<int>(i) + 1), sizes[i]))
            return UnpackNotValid;
        total += sizes[i];
    }
    if (total != container.size())
        return UnpackNotValid;

    std::vector<char> buffer(static_cast<size_t>(ChunkSize));
    for (size_t i = 0; i < members.size(); ++i) {
        switch (CopyBytes(container, *members[i], sizes[i], buffer)) {
        case CopyResult::Ok:
            break;
        case CopyResult::ReadFailed:
            return UnpackCannotOpenContainer;
        case CopyResult::WriteFailed:
            return UnpackCannotCreateMember;
        }
    }
    return UnpackOk;
}
