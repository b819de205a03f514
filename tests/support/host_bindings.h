// Test support: a fresh binding state per scenario. Nothing in the product calls this.
#pragma once

// Forgets the host module, every looked-up export, RunningScorixVersion and the depth counters.
void ForgetHostBindings();
