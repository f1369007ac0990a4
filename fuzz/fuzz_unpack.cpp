#include "TCDSParser.h"

#include <QBuffer>
#include <cstddef>
#include <cstdint>

// Feeds arbitrary bytes to the container reader, entirely in memory.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer container;
    container.setData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    container.open(QIODevice::ReadOnly);

    std::array<QBuffer, TACTFiles::Count> members;
    TCDSParser::Devices devices{};
    for (size_t i = 0; i < members.size(); ++i) {
        members[i].open(QIODevice::WriteOnly);
        devices[i] = &members[i];
    }
    if (TCDSParser::UnpackDevices(container, devices)) {
        // Whatever was accepted must pack back to the very same bytes.
        std::array<QBuffer, TACTFiles::Count> sources;
        for (size_t i = 0; i < members.size(); ++i) {
            sources[i].setData(members[i].data());
            sources[i].open(QIODevice::ReadOnly);
            devices[i] = &sources[i];
        }
        QBuffer repacked;
        repacked.open(QIODevice::WriteOnly);
        TCDSParser::PackDevices(devices, repacked);
        if (repacked.data() != container.data())
            __builtin_trap();
    }
    return 0;
}
