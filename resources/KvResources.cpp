#include "KvResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initKvEditResources() { Q_INIT_RESOURCE(kvedit); }

void kvInitResources()
{
    static const bool registered = (initKvEditResources(), true);
    Q_UNUSED(registered);
}
