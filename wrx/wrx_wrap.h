// Word wrap's choice for the tests that compare its two ways of storing the
// new lines: writing over the buffers of the lines they replace and sharing
// one font id (the default), or fresh buffers for every line.
#pragma once

void SetWrapReusesLines(bool reuse);
