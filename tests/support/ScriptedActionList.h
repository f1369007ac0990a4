#pragma once

#include "ActionFileOpen.h"
#include "OpenCommands.h"

#include <QScopeGuard>
#include <functional>

// The action list as the commands that open an Action File see it: runs the
// scripted show, or without one closes the file at once, as a window closed
// straight away would. While it shows, CloseFile() closes the file as the
// window does and ReadOnly() tells whether it was opened read-only.
class TScriptedActionList final : public TActionListView {
public:
    void Set(std::function<bool(bool fromContainer)> show) { show_ = std::move(show); }
    bool ShowActionList(TDataModuleMain &data, bool fromContainer, bool readOnly) override
    {
        data_ = &data;
        readOnly_ = readOnly;
        // Read-only only while the file is shown.
        const auto shown = qScopeGuard([this] { readOnly_ = false; });
        return show_ ? show_(fromContainer) : CloseFile();
    }
    bool CloseFile() { return CloseActionFile(*data_, readOnly_); }
    bool ReadOnly() const { return readOnly_; }

private:
    std::function<bool(bool fromContainer)> show_;
    TDataModuleMain *data_ = nullptr;
    bool readOnly_ = false;
};

// The one scripted action list of a test program.
inline TScriptedActionList &ScriptedList()
{
    static TScriptedActionList list;
    return list;
}
