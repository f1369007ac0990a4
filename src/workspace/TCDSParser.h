#pragma once

#include "AppError.h"
#include "TACTFiles.h"

#include <QByteArray>
#include <QString>
#include <array>

class QIODevice;
class TGlobalTempFiles;

// A Dravelin File that could not be packed or unpacked: the container
// itself could not be read or written, or one of the member files. message()
// and FileName() name the file (empty for a device without one).
class TContainerError : public AppError {
public:
    enum Part { Container, Member };
    TContainerError(Part part, const QString &message, const QString &fileName, const QString &cause)
        : AppError(message, fileName, cause), part_(part)
    {
    }
    Part Failed() const { return part_; }

private:
    Part part_;
};

// Writes and reads a Dravelin File: the six files of one Action File packed
// into one container. Layout: the ten bytes "qzvrtk5208", six member sizes as
// ten zero-padded ASCII decimal digits each, then the six members in order.
class TCDSParser {
public:
    static constexpr int HeaderSize = 70;
    static constexpr int FieldSize = 10;
    static const QByteArray &Magic();

    using Devices = std::array<QIODevice *, TACTFiles::Count>;

    // For packing the Action File whose header file is actFileName.
    TCDSParser(const QString &actFileName, const QString &containerFileName);
    // For unpacking: the members get a new temporary header name with the
    // extension "act"; the five other member names are registered with
    // tempFiles too, so all six are deleted at the end of the program.
    TCDSParser(const QString &containerFileName, TGlobalTempFiles &tempFiles);

    // Writes the container beside the old one and replaces it only when every
    // write succeeded, so a failure leaves a previous container as it was.
    // A member with a journal beside it is made whole first. Callers save
    // the open tables to their files first. Throws TContainerError.
    void Pack();
    // Writes the six member files from the container. False, and nothing
    // copied out, when the file is no Dravelin File: its header is not well
    // formed or its length is not exactly the header plus the six sizes.
    // Throws TContainerError when a file cannot be read or written.
    bool Unpack();

    QString ActFileName() const { return files_.HeaderFileName(); }
    QString ContainerFileName() const { return containerFileName_; }

    // The same work on open devices; Pack and Unpack build on these. Members
    // must be readable (packing) or writable (unpacking); the container must
    // be random-access when unpacking, since its length is checked first.
    static void PackDevices(const Devices &members, QIODevice &container);
    static bool UnpackDevices(QIODevice &container, const Devices &members);

private:
    QString containerFileName_;
    TACTFiles files_;
};
