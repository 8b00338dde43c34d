// Word wrap's choice for the tests that compare its two ways. The usual way
// adds up runs of plain characters at once, stores a batch of paragraphs at
// once, cuts a paragraph whose lines lie one after another in a shared block
// where it lies, writes over the buffers of the lines it replaces and gives a
// line of one font a shared id; the plain way steps through every character
// and stores each paragraph on its own in fresh buffers.
#pragma once

void SetPlainWordWrap(bool plain);

// How many lines word wrap has passed by, in all windows, because a wrap at
// the same width left them and nothing changed since.
long WordWrapLinesPassedBy();
