// Test support: a fresh debug console state per scenario. Nothing in the product calls this.
#pragma once

// Forgets that the framework has tried to open its debug console, as if the module had just been
// loaded; the next console line tries again.
void ForgetDebugConsole();
