#include "pricing/frmShapes.h"

#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"

namespace velmor::pricing {

frmLabs::frmLabs(AppContext &ctx, QWidget *parent) : frmWordTable(ctx, WordTable::Labs, parent)
{
    setObjectName(QStringLiteral("frmLabs"));
    setWindowTitle(QStringLiteral("Laboratory Words"));
    ui::administratorOnly(ctx, this);
    load();
}

} // namespace velmor::pricing
