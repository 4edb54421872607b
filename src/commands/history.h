// Search history and autocomplete of the input items, and the searches
// started from them.
#pragma once

#include <string>
#include <vector>

#include "commands/input_field.h"

namespace qv::commands {

class CommandHost;

// The text in the field (at most 1023 characters); for a chooser entry of
// that text (ignoring case), the entry's COMBOVALUE value.
std::string GetValue(const InputField& field);
// Adds value at the top of a history combo's history and rewrites its key.
void StoreValue(CommandHost& host, InputField& field, const std::string& value);
void ClearHistory(InputField& field);
// The entries of an item's history key, most recent first. Entries of any
// length are read whole.
std::vector<std::string> ReadHistory(const std::string& itemName);
// Fills a newly created field: its history or choices, and its text.
void FillInputField(CommandHost& host, InputField& field);

// Search from an input item: its command (or the current search), then its
// value into the history.
void RunComboSearch(CommandHost& host, InputField& field);
// A named command, or with an empty name the search item chosen by
// LastSearchWith.
void RunSearch(CommandHost& host, const std::string& commandName);

// CBN_SELENDOK: a list entry was chosen.
void OnListChoice(CommandHost& host, InputField& field);
// CBN_EDITUPDATE: the edit text changed; typed is false for changes made
// while the keyboard handling passed on editing keys.
void OnEditUpdate(CommandHost& host, InputField& field, bool typed);

}  // namespace qv::commands
