// Folder names as the browser shows them and turns them into file names.
#pragma once

// True when lower-casing (Windows-1252) changes some character.
bool HasUpperCase(const char* text);
// Lower-cases the name in place and turns every character that is neither
// alphanumeric nor one of " $%'-_@~`!()^#&." into "_"; character 127 stays.
char* MakeSafeFileName(char* name);
