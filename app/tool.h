// The tool's own logic: its entry, end callback, page cache and the four
// handlers bound to the main window's events.
#pragma once

#include "ui/frame.h"
#include "ui/unit_model.h"

namespace bv::tool {

// The program entry: initialise, load the main window, run; 0 when the loop ends.
int Entry();
// Releases what the page cache holds; registered by the entry.
void End();

// Handlers, in the order of the main window's handler numbers.
void OnStartup(const EventCall& call);
void OnShortcutButton(const EventCall& call);
void OnSiteButton(const EventCall& call);
void OnFilesDropped(const EventCall& call);

// What the frame needs to start the tool.
const ProgramDefinition& Definition();

}  // namespace bv::tool
