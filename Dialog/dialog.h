// The dialogs' entry point for the program block.
#pragma once

// Runs the main dialog modally, without owner, from the template of that
// name; returns when it has ended.
void RunMainDialog(const char* templateName);
