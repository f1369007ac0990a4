#pragma once

#include "TACTFiles.h"

#include <QByteArray>
#include <QString>
#include <array>

class QIODevice;
class TGlobalTempFiles;

// Writes and reads a Dravelin File: the six files of one Action File packed
// into one container. Layout: the ten bytes "qzvrtk5208", six member sizes as
// ten zero-padded ASCII decimal digits each, then the six members in order.
class TCDSParser {
public:
    enum PackResult {
        PackOk = 0,
        PackCannotCreateContainer = 1, // also a failed write or commit of the container
        PackCannotOpenMember = 2,      // also a member that cannot be read completely
    };
    enum UnpackResult {
        UnpackOk = 0,
        UnpackCannotOpenContainer = 1, // also a failed read of the container
        UnpackNotValid = 2,            // bad magic, bad size digits, sizes not matching the length
        UnpackCannotCreateMember = 3,  // also a failed write of a member
    };

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
    // Callers save the open tables to their files first.
    PackResult Pack();
    // Writes the six member files from the container. A container is refused
    // (UnpackNotValid) unless its header is well formed and its length is
    // exactly the header plus the six sizes.
    UnpackResult Unpack();

    QString ActFileName() const { return files_.HeaderFileName(); }
    QString ContainerFileName() const { return containerFileName_; }

    // The same work on open devices; Pack and Unpack build on these. Members
    // must be readable (packing) or writable (unpacking); the container must
    // be random-access when unpacking, since its length is checked first.
    static PackResult PackDevices(const Devices &members, QIODevice &container);
    static UnpackResult UnpackDevices(QIODevice &container, const Devices &members);

private:
    QString containerFileName_;
    TACTFiles files_;
};
