#include "AppError.h"
#include "DavXml.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

// Reads arbitrary bytes as a server's multistatus answer, within small
// limits; a result must keep to them.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    TDavXmlLimits limits;
    limits.maxDepth = 16;
    limits.maxElements = 2000;
    TMultistatus result;
    try {
        ParseMultistatus(bytes, limits, result);
    } catch (const AppError &) {
        return 0;
    }
    if (result.resources.size() > limits.maxElements)
        __builtin_trap();
    for (const TDavResource &resource : result.resources)
        for (const TDavProp &prop : resource.props)
            if (prop.names.size() > limits.maxElements || prop.comps.size() > prop.names.size())
                __builtin_trap();
    return 0;
}
