#include "KvArchiveUi.h"

namespace {

KvArchiveUi &installed()
{
    static KvArchiveUi ui;
    return ui;
}

} // namespace

KvArchiveUi setKvArchiveUi(const KvArchiveUi &ui)
{
    KvArchiveUi before = installed();
    installed() = ui;
    return before;
}

const KvArchiveUi &kvArchiveUi()
{
    return installed();
}
