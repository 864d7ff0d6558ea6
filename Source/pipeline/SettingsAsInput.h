#ifndef KORVEX_SETTINGSASINPUT_H
#define KORVEX_SETTINGSASINPUT_H

class InputFile;

// Throws InputError naming the file when the input given as MAP_FILENAME is a configuration
// file: its first line of text (after blank and comment lines) is KEY=VALUE with a key of ours.
void RefuseSettingsGivenAsInput(const InputFile& input);

#endif
