#include "TodoMapping.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

namespace {

// The fields of first must read the same from second.
bool Same(const TTodoReading &first, const TTodoReading &second)
{
    if (!second.ok || second.uid != first.uid || !second.notes.isEmpty())
        return false;
    for (auto it = first.fields.begin(); it != first.fields.end(); ++it)
        if (!SameValue(it.value(), second.fields.value(it.key())))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

// Reads arbitrary bytes as a task; what it reads must write as a task, over
// the input and on its own, that reads back to the same fields.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QDate today(2026, 12, 10);
    const TTodoReading reading = TodoToAction(bytes, today);
    if (!reading.ok)
        return 0;
    for (const QByteArray &existing : {bytes, QByteArray()}) {
        const TTodoWriting written = ActionToTodo(reading.fields, reading.uid, existing);
        if (!written.ok)
            continue; // too large once written: refused with its reason
        if (!Same(reading, TodoToAction(written.ical, today)))
            __builtin_trap();
    }
    return 0;
}
