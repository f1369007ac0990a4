#pragma once

#include "ActionFileOpen.h"

#include <functional>

// The action list as the commands that open an Action File see it: runs the
// scripted show, or without one closes the file at once, as a window closed
// straight away would.
class TScriptedActionList final : public TActionListView {
public:
    void Set(std::function<bool(bool fromContainer)> show) { show_ = std::move(show); }
    bool ShowActionList(bool fromContainer) override
    {
        return show_ ? show_(fromContainer) : CloseActionFile();
    }

private:
    std::function<bool(bool fromContainer)> show_;
};

// The one scripted action list of a test program.
inline TScriptedActionList &ScriptedList()
{
    static TScriptedActionList list;
    return list;
}
