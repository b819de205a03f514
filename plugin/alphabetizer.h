// QX Alphabetizer: sorts the document's user-created categories by name and re-points every text
// and shape expression definition at its category's new slot.
#pragma once

// Runs the whole command on the current document.
void Alphabetizer();
