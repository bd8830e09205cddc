#include "core/Screenshot.h"

#include "core/ObjectContext.h"

namespace tanvill {

void Screenshot::markChanged()
{
    context()->markChanged(this);
}

} // namespace tanvill
