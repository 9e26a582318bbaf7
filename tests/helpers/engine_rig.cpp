#include "helpers/engine_rig.h"

bool MakeEngineRig(std::unique_ptr<CFakeHost>& host, std::unique_ptr<CApplicationCore>& core,
                   std::unique_ptr<CTempTree>& tree)
{
    core.reset();
    host = std::make_unique<CFakeHost>();
    core = std::make_unique<CApplicationCore>(host->Services(), CCommandLine{});
    core->Settings().general.DispDebugInfo = 1;
    core->State().disabled = 0;
    tree = std::make_unique<CTempTree>();
    core->Settings().general.Recycle2.Assign(tree->Path("recycle"));
    return tree->IsValid();
}
