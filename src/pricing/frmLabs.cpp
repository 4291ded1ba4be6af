#include "pricing/frmShapes.h"

namespace velmor::pricing {

frmLabs::frmLabs(AppContext &ctx, QWidget *parent) : frmWordTable(ctx, WordTable::Labs, parent)
{
    setObjectName(QStringLiteral("frmLabs"));
    setWindowTitle(QStringLiteral("Laboratory Words"));
    load();
}

} // namespace velmor::pricing
