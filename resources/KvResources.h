#pragma once

// Registers the program's compiled-in resources (":/Resources/...") once.
// Needed because they live in a static library.
void kvInitResources();
