#pragma once

// Gives the engine's fragment-list reader its user interface: the warning
// box for the relocation question, the wait cursor (on the GUI thread only)
// and the undo-history search for open sources. Called once at start-up.
void installAppArchiveUi();
