#pragma once

#include <QString>

namespace pictavo {
class Prompter;
}

// The settings routines of the program over the process-wide SettingsStore. Every key path
// is absolute, such as "\software\Orbelin_PV".
namespace pictavo::regutl {

// The key below which every window keeps its settings, one subkey per window object name.
inline const QString kSettingsKey = QStringLiteral("\\software\\Orbelin_PV");

// True if the key exists; creates nothing.
bool KeyExists(const QString &keyPath);
// Creates the key and any missing parent keys.
void MakeKey(const QString &keyPath);
// Deletes the key with all its subkeys and values; a missing key is left alone.
void EraseKey(const QString &keyPath);

// Start-up: creates the Settings Key when it is missing, then reports a settings file
// that cannot be read or written.
void PrepareSettingsKey(Prompter &prompter);
// Shows, in a warning, why the settings cannot be read or saved: once a run, and only
// when that happened. The program works on with its settings in memory.
void ReportSettingsProblem(Prompter &prompter);

// An absent value reads as defaultValue.
QString ReadString(const QString &keyPath, const QString &name, const QString &defaultValue);
// A value that is absent, empty or not a decimal 32-bit integer reads as defaultValue.
int ReadInteger(const QString &keyPath, const QString &name, int defaultValue);
// The writers create the key when missing.
void WriteString(const QString &keyPath, const QString &name, const QString &value);
// Written as decimal text, with a minus sign when negative.
void WriteInteger(const QString &keyPath, const QString &name, int value);

// The integer reading rule on its own: an optional sign and decimal digits that fit in 32
// bits, nothing else (no blanks); any other text gives defaultValue.
int parseInteger(const QString &text, int defaultValue);

// A window's bounds as the values Left, Top, Width and Height hold them.
struct Placement
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Placement &, const Placement &) = default;
};

// "<keyPath>\<objectName>", the subkey a window keeps its settings in.
QString formKey(const QString &keyPath, const QString &objectName);

// Reads Left, Top, Width and Height, in this order, from the window's subkey; each value that
// is absent or not an integer keeps the one in current.
Placement LoadFormPlacement(const QString &objectName, const QString &keyPath,
                            const Placement &current);
// Writes the four values into the window's subkey, creating it when missing.
void SaveFormPlacement(const QString &objectName, const QString &keyPath,
                       const Placement &placement);

} // namespace pictavo::regutl
