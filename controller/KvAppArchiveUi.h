#pragma once

// Gives the engine's fragment-list reader its user interface: the relocation
// question through the registered controller's UI services, the wait cursor
// (on the GUI thread only) and the undo-history search for open sources.
// Called once at start-up.
void installAppArchiveUi();
